#include "app/config_session.h"

namespace quillon {

ConfigSession::ConfigSession(DeviceParameterBlock& block, ConfigView& view, FrameLink& link,
                             Notifier& notifier)
    : block_(block), view_(view), link_(link), notifier_(notifier) {}

}  // namespace quillon
