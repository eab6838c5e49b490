#!/usr/bin/env bash
# Runs a command inside a private network that this script makes and that vanishes with it.
#
#   netns-run.sh DEVSIM COMMAND [ARGS...]
#   netns-run.sh --check          only tells whether a private network can be made here
#
# Two network namespaces joined by a veth pair: the PC side (10.77.0.1/24, where COMMAND runs)
# and the device side (10.77.0.2/24, where simulated devices run). Each side has a default route
# on its veth end so that 255.255.255.255 has somewhere to go, and no other interface but lo, so
# the program sees exactly one local address, as on an installer's laptop. Nothing here can reach
# the host's network. COMMAND finds the device side in QUILLON_DEVICE_NETNS (a path for
# `nsenter --net=`) and the simulator in QUILLON_DEVSIM.
set -euo pipefail

# A private network needs user and network namespaces (unshare) and iproute2 (ip). Where either
# is missing, say so plainly instead of failing halfway through.
check() {
  local why
  if ! command -v ip >/dev/null || ! command -v nsenter >/dev/null; then
    echo "netns-run.sh: 'ip' (iproute2) or 'nsenter' (util-linux) is missing; 'make deps' installs them." >&2
    return 1
  fi
  if ! why=$(unshare --user --map-root-user --net -- true 2>&1); then
    cat >&2 <<EOT
netns-run.sh: cannot make a private network here: ${why:-unshare failed}.
The end-to-end tests, the demo and the benchmarks run inside a network namespace of their own
(so that nothing reaches the real network), and this machine does not allow unprivileged user
namespaces. Run them on a machine or container that does (on Debian: sysctl
kernel.unprivileged_userns_clone=1; in Docker: --privileged or a seccomp profile that permits
unshare). The unit and widget tests need none of this: 'make unit-test'.
EOT
    return 1
  fi
}

if [ "${1:-}" = "--check" ]; then
  check
  exit
fi
if [ "${1:-}" != "--inside" ]; then
  check || exit 1
  exec unshare --user --map-root-user --net --fork -- "$0" --inside "$@"
fi
shift
devsim=$1; shift

ip link set lo up
ip link add qpc0 type veth peer name qdev0
unshare --net -- sleep infinity &
holder=$!
trap 'kill $holder 2>/dev/null || true' EXIT
for _ in $(seq 250); do
  [ "$(readlink /proc/$holder/ns/net)" != "$(readlink /proc/$$/ns/net)" ] && break
  sleep 0.02
done
if [ "$(readlink /proc/$holder/ns/net)" = "$(readlink /proc/$$/ns/net)" ]; then
  echo "netns-run.sh: the device side's network did not come into being within 5 s" >&2
  exit 1
fi
ip link set qdev0 netns "$holder"
ip addr add 10.77.0.1/24 dev qpc0
ip link set qpc0 up
ip route add default dev qpc0
nsenter --net=/proc/$holder/ns/net -- sh -c \
  'ip link set lo up && ip addr add 10.77.0.2/24 dev qdev0 && ip link set qdev0 up && ip route add default dev qdev0'

# A link that has just come up drops what it is given until the kernel has attached its queue
# ("qdisc noop" until then), which can take a moment when many links come up at once: a search
# sent in that moment would be lost, and a test would wait for its reply in vain.
ready() { ip -o link show dev "$1" | grep -q 'state UP' && ! ip -o link show dev "$1" | grep -q 'qdisc noop'; }
for _ in $(seq 250); do
  ready qpc0 && nsenter --net=/proc/$holder/ns/net -- sh -c \
    "ip -o link show dev qdev0 | grep -q 'state UP' && ! ip -o link show dev qdev0 | grep -q 'qdisc noop'" &&
    break
  sleep 0.02
done

export QUILLON_DEVICE_NETNS=/proc/$holder/ns/net
export QUILLON_DEVSIM=$devsim
export QUILLON_DEVICE_ADDR=10.77.0.2
export QUILLON_PC_ADDR=10.77.0.1
"$@"
