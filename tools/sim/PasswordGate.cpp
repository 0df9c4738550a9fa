#include "sim/PasswordGate.h"

#include <algorithm>

namespace tervex::sim {

PasswordGate::PasswordGate(const std::string& readPassword, const std::string& writePassword, int64_t idleMs)
    : hasRead_(!readPassword.empty()),
      hasWrite_(!writePassword.empty()),
      readKey_(MakeKey(readPassword)),
      writeKey_(MakeKey(writePassword)),
      idleMs_(idleMs)
{
}

PasswordGate::Key PasswordGate::MakeKey(const std::string& password)
{
    Key key{};
    const size_t n = std::min(password.size(), kPasswordSize);
    for (size_t i = 0; i < n; ++i)
        key[i] = static_cast<uint8_t>(password[i]);
    return key;
}

void PasswordGate::Expire(int64_t nowMs)
{
    if (touched_ && nowMs - lastActivityMs_ > idleMs_) {
        readGranted_ = false;
        writeGranted_ = false;
    }
}

void PasswordGate::Touch(int64_t nowMs)
{
    touched_ = true;
    lastActivityMs_ = nowMs;
}

bool PasswordGate::Offer(bool writePassword, const std::vector<uint8_t>& sixBytes)
{
    Key offered{};
    std::copy_n(sixBytes.begin(), std::min(sixBytes.size(), kPasswordSize), offered.begin());
    const bool has = writePassword ? hasWrite_ : hasRead_;
    const Key& key = writePassword ? writeKey_ : readKey_;
    if (!has)
        return true;  // nothing to protect: any offer is taken, and grants nothing
    if (offered != key) {
        readGranted_ = false;
        writeGranted_ = false;
        return false;
    }
    readGranted_ = true;
    writeGranted_ = writeGranted_ || writePassword;
    return true;
}

bool PasswordGate::MayRead() const
{
    return !hasRead_ || readGranted_ || writeGranted_;
}

bool PasswordGate::MayWrite() const
{
    return !hasWrite_ || writeGranted_;
}

}  // namespace tervex::sim
