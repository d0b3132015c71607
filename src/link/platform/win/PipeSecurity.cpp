#include "PipeSecurity.h"

#include <aclapi.h>
#include <sddl.h>

namespace qplatform {

UserOnlySecurity::UserOnlySecurity() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    error_ = ::GetLastError();
    return;
  }
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  user_.resize(size);
  const BOOL got = size > 0 && ::GetTokenInformation(token, TokenUser, user_.data(), size, &size);
  if (!got) error_ = ::GetLastError();
  ::CloseHandle(token);
  if (!got) return;
  PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;

  // One ACE: the user may do everything with the pipe; an explicit DACL without any other
  // entry denies everybody else (unlike no DACL, which allows everybody).
  acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid));
  auto* acl = reinterpret_cast<ACL*>(acl_.data());
  if (!::InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) ||
      !::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) ||
      !::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
      !::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    error_ = ::GetLastError();
    return;
  }
  char* text = nullptr;
  if (::ConvertSidToStringSidA(sid, &text)) {
    sid_text_ = text;
    ::LocalFree(text);
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = FALSE;
  valid_ = true;
}

std::string DaclSddlOf(HANDLE handle) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(handle, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return "";
  }
  char* text = nullptr;
  std::string sddl;
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    sddl = text;
    ::LocalFree(text);
  }
  ::LocalFree(descriptor);
  return sddl;
}

}  // namespace qplatform
