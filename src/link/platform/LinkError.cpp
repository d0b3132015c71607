#include "LinkError.h"

namespace {

struct Row {
  LinkError error;
  const char* text;
};

constexpr Row kTexts[] = {
    {LinkError::kSuccess, "success"},
    {LinkError::kInvalidFunction, "not supported by this device"},
    {LinkError::kFileNotFound, "no such device"},
    {LinkError::kAccessDenied, "access denied"},
    {LinkError::kInvalidHandle, "no open device"},
    {LinkError::kNotEnoughMemory, "out of memory"},
    {LinkError::kInvalidData, "malformed reply"},
    {LinkError::kGenFailure, "device failure"},
    {LinkError::kSharingViolation, "in use by this program"},
    {LinkError::kLockViolation, "in use by another program"},
    {LinkError::kInvalidParameter, "invalid parameter"},
    {LinkError::kBrokenPipe, "connection closed"},
    {LinkError::kSemTimeout, "timed out"},
    {LinkError::kInsufficientBuffer, "buffer too small"},
    {LinkError::kBusy, "a transfer is in flight"},
    {LinkError::kMoreData, "message larger than the buffer"},
    {LinkError::kNoMoreItems, "no more devices"},
    {LinkError::kNotOwner, "lock not held"},
    {LinkError::kMessageNotFound, "no message text"},
    {LinkError::kOperationAborted, "cancelled"},
    {LinkError::kIoIncomplete, "not finished yet"},
    {LinkError::kIoPending, "pending"},
    {LinkError::kDeviceNotConnected, "device not connected"},
    {LinkError::kInvalidUserBuffer, "buffer too small for one record"},
    {LinkError::kMachineRefused, "the machine refused the command"},
};

}  // namespace

const char* LinkErrorText(LinkError error) {
  for (const Row& row : kTexts) {
    if (row.error == error) return row.text;
  }
  return "unknown error";
}
