// The security of the emulator's pipes: a descriptor whose explicit DACL grants the current
// user (the token's user SID) full access and nobody else any, so no other user can pose as a
// machine or listen in. Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qplatform {

class UserOnlySecurity {
 public:
  // Builds the descriptor for the process's user. Valid() is false when the token or the ACL
  // could not be had (then *error_code holds the system's error); nothing is opened without it.
  UserOnlySecurity();
  UserOnlySecurity(const UserOnlySecurity&) = delete;
  UserOnlySecurity& operator=(const UserOnlySecurity&) = delete;

  bool Valid() const { return valid_; }
  DWORD error_code() const { return error_; }
  // For CreateNamedPipe; nullptr when not Valid().
  SECURITY_ATTRIBUTES* Attributes() { return valid_ ? &attributes_ : nullptr; }
  // The user's SID in its text form ("S-1-5-21-..."), empty when not Valid().
  const std::string& UserSid() const { return sid_text_; }

 private:
  bool valid_ = false;
  DWORD error_ = 0;
  std::vector<unsigned char> user_;  // TOKEN_USER with its SID
  std::vector<unsigned char> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  std::string sid_text_;
};

// The DACL of the object behind `handle` in SDDL ("D:P(A;;FA;;;S-1-5-...)"); empty when it
// cannot be read. For checking what the system made of a descriptor.
std::string DaclSddlOf(HANDLE handle);

}  // namespace qplatform
