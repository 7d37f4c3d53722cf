// The export tool's global variables: created once at process start,
// kept across handler entries, set back only by ResetState.
#pragma once
#include <array>
#include <cstdint>

#include "textscreen/base/bytes.h"

namespace logship {

using ts::Bytes;

// How far a pass from the hand-over on got; lets HandOverHandler tell an
// error of the hand-over from a later one.
enum class PassStage { HandOver, StartDirectory, Header, DriveScan };

// The drive list's slots, 0 to 40: the scan fills them from 1, slot 0
// stays empty.
constexpr long kDriveSlots = 41;

struct Globals {
  // Hand-over and start directory.
  float handOverFlag = 0;
  PassStage passStage = PassStage::HandOver;
  Bytes dataFileName, nextProgram, startDirectory;
  Bytes helpFile;  // "hulp.hlp", or another name when that is the data file
  // Header and drive scan.
  Bytes dateText, baseName;
  int16_t letterCounter = 0;
  Bytes chosenDrive;
  int16_t driveCount = 0;
  std::array<Bytes, kDriveSlots> driveList;
  float probeLength = 0;
  Bytes probeFile;  // "direct.tmp", or another name when that is the data file
  int16_t scanErrorNumber = 0;
  // Drive menu.
  int16_t entryIndex = 0, entryEnd = 0, redrawIndex = 0;
  Bytes lastKey;
  float rememberedSeconds = 0, seconds = 0;
  int16_t pointerColumn = 0, pointerRow = 0;
  float leftButton = 0, wheelStep = 0, doubleClickFlag = 0;
  // Export screen, name and copy.
  Bytes driveText;
  int16_t halfWidth = 0;
  Bytes copyExtension, fileName;
  long exitCode = 0;
  Bytes destinationFolder, destinationPath;
  Bytes handlerKey;
  // The copy's buffers: 100 bytes and 1 byte, zero-filled at reset.
  Bytes recordBuffer = Bytes(100, '\0');
  Bytes byteBuffer = Bytes(1, '\0');
};

Globals& G();
void ResetGlobals();

// A slot of the drive list; an index outside it raises 9 and gives "".
Bytes DriveSlot(long index);
// Sets a slot of the drive list; an index outside it raises 9.
void SetDriveSlot(long index, const Bytes& letter);

}  // namespace logship
