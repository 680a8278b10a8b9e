#include "wrentide_setup/context/setup_lock.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

namespace wt {
namespace {

// The SID of this process's user as text ("S-1-5-21-..."); "" when it cannot be read.
std::string UserSid() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return "";
    const UniqueHandle token(opened);
    BYTE buffer[256];
    DWORD size = 0;
    wchar_t* text = nullptr;
    if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text))
        return "";
    const std::string sid = Utf8(text);
    LocalFree(text);
    return sid;
}

// True when the object's owner is one of kind (SIDs as SDDL names them).
bool OwnedByItsKind(HANDLE object, const std::vector<std::string>& kind) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, LocalFree);
    for (const std::string& name : kind) {
        PSID sid = nullptr;
        if (!owner || !ConvertStringSidToSidW(Wide(name).data(), &sid)) continue;
        const bool same = EqualSid(sid, owner);
        LocalFree(sid);
        if (same) return true;
    }
    return false;
}

enum class Got { Taken, Busy, PassedOver };

using Descriptor = std::unique_ptr<void, decltype(&LocalFree)>;

Descriptor FromSddl(const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(Wide(sddl).data(), SDDL_REVISION_1, &descriptor, nullptr);
    return Descriptor(descriptor, LocalFree);
}

// The first of stem-0 .. stem-7 that is free, or that its own kind holds:
// made owned by kind's first (or, where the token may not give it that
// owner, by its own default, which is of the kind too) and open to kind alone.
Got TakeLock(const std::string& stem, const std::vector<std::string>& kind, UniqueHandle& lock) {
    std::string rights;
    for (const std::string& sid : kind) rights += "(A;;GA;;;" + sid + ")";
    const Descriptor owned = FromSddl("O:" + kind[0] + "D:P" + rights), plain = FromSddl("D:P" + rights);
    if (!owned || !plain) return Got::PassedOver;
    SECURITY_ATTRIBUTES security = {sizeof security, owned.get(), FALSE};
    SECURITY_ATTRIBUTES fallback = {sizeof fallback, plain.get(), FALSE};
    for (int i = 0; i < 8; ++i) {
        const std::vector<wchar_t> name = Wide(stem + "-" + std::to_string(i));
        UniqueHandle mutex(CreateMutexW(&security, FALSE, name.data()));
        DWORD error = GetLastError();
        if (!mutex.Valid() && error == ERROR_INVALID_OWNER) {
            mutex = UniqueHandle(CreateMutexW(&fallback, FALSE, name.data()));
            error = GetLastError();
        }
        if (!mutex.Valid()) continue;  // one we may not even open is no setup's
        if (error != ERROR_ALREADY_EXISTS) {
            lock = std::move(mutex);
            return Got::Taken;
        }
        if (OwnedByItsKind(mutex.Get(), kind)) return Got::Busy;
    }
    return Got::PassedOver;
}

}  // namespace

bool SetupLock::Take(InstallScope scope, std::string& why) {
    const std::string user = UserSid();
    struct Lock {
        bool needed;
        std::string stem;
        std::vector<std::string> kind;
        UniqueHandle& handle;
        const char* holder;
    } locks[] = {
        {scope == InstallScope::Machine, "Global\\WrenTideSetup-Machine", {"BA", "SY"}, machine_,
         "another setup or uninstaller for everyone"},
        {!user.empty(), "Global\\WrenTideSetup-User-" + user, {user, "BA", "SY"}, user_,
         "another setup or uninstaller of this user's"},
    };
    for (Lock& lock : locks) {
        if (!lock.needed) continue;
        const Got got = TakeLock(lock.stem, lock.kind, lock.handle);
        if (got == Got::Taken) continue;
        why = got == Got::Busy ? std::string(lock.holder) + " runs"
                               : "every name of the lock " + lock.stem + " is held by programs that are no setup";
        return false;
    }
    return true;
}

}  // namespace wt
