#pragma once
// Read and write passwords of one controller. A password is given by a 0xF0
// (read) or 0xF1 (write) frame carrying six bytes; the controller compares them
// with the first six bytes of its own password, padded with zero bytes.
// A given write password also permits reads. Grants are forgotten when the
// controller has seen no frame for longer than the idle time.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Commands.h"

namespace tervex::sim {

class PasswordGate {
public:
    // Passwords as the bytes the master sends (Windows-1251); empty: none.
    PasswordGate(const std::string& readPassword, const std::string& writePassword, int64_t idleMs);

    // Forgets the grants if the last activity is more than the idle time ago.
    void Expire(int64_t nowMs);
    // Records a served frame.
    void Touch(int64_t nowMs);

    // A password frame: true if accepted. A wrong password revokes every grant.
    bool Offer(bool writePassword, const std::vector<uint8_t>& sixBytes);

    bool MayRead() const;
    bool MayWrite() const;
    bool ReadGranted() const { return readGranted_; }
    bool WriteGranted() const { return writeGranted_; }

private:
    using Key = std::array<uint8_t, kPasswordSize>;
    static Key MakeKey(const std::string& password);

    bool hasRead_;
    bool hasWrite_;
    Key readKey_;
    Key writeKey_;
    int64_t idleMs_;
    bool readGranted_ = false;
    bool writeGranted_ = false;
    bool touched_ = false;
    int64_t lastActivityMs_ = 0;
};

}  // namespace tervex::sim
