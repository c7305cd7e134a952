// The floor that a launcher's start is measured against: a static program
// that does nothing but note when its main runs (entry_stamp.h). Given a
// source and a target it first copies the one to the other with CopyFileW,
// as the floor of a start that extracts those bytes, and removes the copy
// once the moment is noted.
#include <windows.h>

#include "tests/fixtures/entry_stamp.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    runvo::fixtures::writeEntryStamp();
    return 0;
  }
  if (!CopyFileW(argv[1], argv[2], TRUE)) return 1;
  runvo::fixtures::writeEntryStamp();
  DeleteFileW(argv[2]);
  return 0;
}
