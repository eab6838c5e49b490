// The device parameter block: the one model of the device being configured.
//
// Its two records are byte images with fixed layouts. The same bytes travel to and from the
// device and are stored in parameter files, so every size and offset is pinned below.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

#pragma pack(push, 1)

struct sOverlayLine {
  uint16_t wX;
  uint16_t wY;
  uint8_t byLineAux;  // neither shown nor sent; kept for parameter files
  char szText[73];    // GBK, at most 72 bytes and a terminator
};

struct sCameraPara {
  char szUser[30];
  char szPassword[30];
  uint8_t abyCameraIP[4];
  uint16_t wSourcePort;
  uint16_t wCameraPort;
  sOverlayLine asLine[8];
  uint8_t byBrand;      // index into kBrandNames, 255 = none chosen
  uint8_t byLineCount;  // 1 to 8, 0 = none chosen
};

struct sOSDCommPara {
  uint8_t byDHCP;
  uint8_t abyIP[4];
  uint8_t abyGateway[4];
  uint8_t abyNetMask[4];
  uint32_t dwAux;  // received in the read reply, never shown or sent
  uint16_t wAux;
  uint8_t abyReserved1[9];
  uint8_t abyUpgradeIP[4];
  uint16_t wUpgradeSrcPort;
  uint16_t wUpgradeDstPort;
  uint8_t abyReserved2[16];
  sCameraPara asCamera[4];
};

#pragma pack(pop)

static_assert(sizeof(sOverlayLine) == 78);
static_assert(offsetof(sOverlayLine, szText) == 5);
static_assert(sizeof(sCameraPara) == 694);
static_assert(offsetof(sCameraPara, abyCameraIP) == 60);
static_assert(offsetof(sCameraPara, wSourcePort) == 64);
static_assert(offsetof(sCameraPara, wCameraPort) == 66);
static_assert(offsetof(sCameraPara, asLine) == 68);
static_assert(offsetof(sCameraPara, byBrand) == 692);
static_assert(offsetof(sCameraPara, byLineCount) == 693);
static_assert(sizeof(sOSDCommPara) == 2828);
static_assert(offsetof(sOSDCommPara, abyIP) == 1);
static_assert(offsetof(sOSDCommPara, abyGateway) == 5);
static_assert(offsetof(sOSDCommPara, abyNetMask) == 9);
static_assert(offsetof(sOSDCommPara, dwAux) == 13);
static_assert(offsetof(sOSDCommPara, wAux) == 17);
static_assert(offsetof(sOSDCommPara, abyReserved1) == 19);
static_assert(offsetof(sOSDCommPara, abyUpgradeIP) == 28);
static_assert(offsetof(sOSDCommPara, wUpgradeSrcPort) == 32);
static_assert(offsetof(sOSDCommPara, wUpgradeDstPort) == 34);
static_assert(offsetof(sOSDCommPara, abyReserved2) == 36);
static_assert(offsetof(sOSDCommPara, asCamera) == 52);

// The RS-485 half is naturally aligned; its padding is spelled out so that the image is the
// same on every compiler and the padding bytes stay zero.
struct sSlotPara {
  uint8_t byEnable;
  uint8_t byChannel;
  uint8_t bySlaveAddr;
  uint8_t byFuncCode;
  uint16_t wStartReg;
  uint16_t wRegCount;
  uint16_t wDataOffset;
  uint8_t abyPad1[2];
  uint32_t dwDataType;  // only the low byte travels
  uint8_t byDecimals;
  uint8_t abyPad2[3];
  float fScaleA;
  float fOffsetB;
  char szName[31];
  char szUnit[9];
  float fAlarmValue;
  char szAlarmText[11];
  char szNormalText[11];
  uint8_t abyPad3[2];
  float afGearValue[8];
  char aszGearText[9][11];  // gears 1 to 8, then the text for any other value
  uint8_t byDataBits;
};

constexpr int kDictCapacity = 1024;

struct sModBusPara {
  uint8_t byProtocol;
  uint8_t byPad1;
  uint16_t wPollInterval;
  uint16_t wTimeout;
  uint16_t wRetryLimit;
  uint32_t dwBaudRate;
  uint8_t byParity;
  uint8_t abyPad2[3];
  sSlotPara asSlot[16];
  uint16_t awDictId[kDictCapacity];
  uint16_t wDictCount;
  uint8_t abyDictWrite[kDictCapacity];  // pending download per index position
  uint8_t abyDictRead[kDictCapacity];   // pending read per index position
  uint8_t byDictBusy;                   // 1 while a dictionary request waits for its reply
  uint8_t byPad3;
};

static_assert(sizeof(sSlotPara) == 228);
static_assert(offsetof(sSlotPara, wStartReg) == 4);
static_assert(offsetof(sSlotPara, wDataOffset) == 8);
static_assert(offsetof(sSlotPara, dwDataType) == 12);
static_assert(offsetof(sSlotPara, byDecimals) == 16);
static_assert(offsetof(sSlotPara, fScaleA) == 20);
static_assert(offsetof(sSlotPara, fOffsetB) == 24);
static_assert(offsetof(sSlotPara, szName) == 28);
static_assert(offsetof(sSlotPara, szUnit) == 59);
static_assert(offsetof(sSlotPara, fAlarmValue) == 68);
static_assert(offsetof(sSlotPara, szAlarmText) == 72);
static_assert(offsetof(sSlotPara, szNormalText) == 83);
static_assert(offsetof(sSlotPara, afGearValue) == 96);
static_assert(offsetof(sSlotPara, aszGearText) == 128);
static_assert(offsetof(sSlotPara, byDataBits) == 227);
static_assert(sizeof(sModBusPara) == 7764);
static_assert(offsetof(sModBusPara, wPollInterval) == 2);
static_assert(offsetof(sModBusPara, dwBaudRate) == 8);
static_assert(offsetof(sModBusPara, byParity) == 12);
static_assert(offsetof(sModBusPara, asSlot) == 16);
static_assert(offsetof(sModBusPara, awDictId) == 3664);
static_assert(offsetof(sModBusPara, wDictCount) == 5712);
static_assert(offsetof(sModBusPara, abyDictWrite) == 5714);
static_assert(offsetof(sModBusPara, abyDictRead) == 6738);
static_assert(offsetof(sModBusPara, byDictBusy) == 7762);
static_assert(alignof(sModBusPara) == 4);

// The whole model: both images and the selection state, which is never exported.
struct DeviceParameterBlock {
  sOSDCommPara osd;
  sModBusPara modbus;
  uint8_t abySelectedMac[6];  // device addressed by every read, download and dictionary frame
  uint8_t bLegacyLineText;    // 1: line texts travel inside commands 3 and 4 (firmware < 32)
};

// How far the configuration of the selected device has come: three one-byte flags that the
// session sets and the dictionary worker reads (and, for the camera texts, clears). They are
// touched through std::atomic_ref, only ever set or cleared whole.
struct SessionFlags {
  uint8_t bParamsRead = 0;         // a read reply from the selected device was accepted
  uint8_t b485Read = 0;            // an RS-485 read has had every entry answered
  uint8_t bCameraTextRequest = 0;  // asks the worker to read the camera line texts
};

// Zeroes both images and the selection state, padding included.
void ClearBlock(DeviceParameterBlock& block);

}  // namespace quillon
