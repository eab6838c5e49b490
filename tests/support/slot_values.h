// An RS-485 port's settings and a slot's numbers, each set in one statement, so that the values a
// test gives the block read as one row: SetPort(m, {protocol, poll interval, timeout, retry limit,
// baud rate, parity}); SetSlot(s, {enable, channel, slave address, function code, start register,
// register count, data offset, data type, decimals, scale a, offset b}).
#pragma once

#include <cstdint>
#include <tuple>

#include "params/parameter_block.h"

namespace quillon::fakes {

struct PortValues {
  uint8_t protocol = 0;
  uint16_t pollInterval = 0, timeout = 0, retryLimit = 0;
  uint32_t baudRate = 0;
  uint8_t parity = 0;
};

inline void SetPort(sModBusPara& m, const PortValues& v) {
  std::tie(m.byProtocol, m.wPollInterval, m.wTimeout, m.wRetryLimit, m.dwBaudRate, m.byParity) =
      std::tie(v.protocol, v.pollInterval, v.timeout, v.retryLimit, v.baudRate, v.parity);
}

struct SlotNumbers {
  uint8_t enable = 0, channel = 0, slaveAddr = 0, funcCode = 0;
  uint16_t startReg = 0, regCount = 0, dataOffset = 0;
  uint32_t dataType = 0;
  uint8_t decimals = 0;
  float scaleA = 0, offsetB = 0;
};

inline void SetSlot(sSlotPara& s, const SlotNumbers& v) {
  std::tie(s.byEnable, s.byChannel, s.bySlaveAddr, s.byFuncCode, s.wStartReg, s.wRegCount,
           s.wDataOffset, s.dwDataType, s.byDecimals, s.fScaleA, s.fOffsetB) =
      std::tie(v.enable, v.channel, v.slaveAddr, v.funcCode, v.startReg, v.regCount, v.dataOffset,
               v.dataType, v.decimals, v.scaleA, v.offsetB);
}

}  // namespace quillon::fakes
