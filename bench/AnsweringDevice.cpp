#include "AnsweringDevice.h"

namespace bench {

namespace {

const std::array<uint16_t, 256>& CrcTable() {
    static const std::array<uint16_t, 256> table = [] {
        std::array<uint16_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i);
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
            }
            t[i] = c;
        }
        return t;
    }();
    return table;
}

int Nibble(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr char kDigits[] = "0123456789ABCDEF";

}  // namespace

uint16_t DeviceCrc(const uint8_t* data, int count) {
    const auto& table = CrcTable();
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < count; ++i) {
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    }
    return crc;
}

uint8_t AnsweringDevice::MemoryByte(uint8_t device, uint8_t command, uint32_t address) {
    return static_cast<uint8_t>(address * 31u + device * 7u + command);
}

void AnsweringDevice::OnWrite(uint8_t port, const uint8_t* data, int32_t count) {
    ++requests;
    requestBytes += count;
    if (port >= kMaxPorts || count < 3) {
        ++unanswered;
        return;
    }
    uint8_t body[16];
    int size = 0;
    const bool text = data[0] == '$';
    if (text) {
        if (data[count - 1] != '\r' || (count - 2) % 2 != 0 || (count - 2) / 2 > 16) {
            ++unanswered;
            return;
        }
        for (int i = 1; i + 1 < count - 1; i += 2) {
            const int high = Nibble(data[i]);
            const int low = Nibble(data[i + 1]);
            if (high < 0 || low < 0) {
                ++unanswered;
                return;
            }
            body[size++] = static_cast<uint8_t>(high << 4 | low);
        }
    } else {
        if (count > 18 || DeviceCrc(data, count - 2) != (data[count - 2] | data[count - 1] << 8)) {
            ++unanswered;
            return;
        }
        size = count - 2;
        for (int i = 0; i < size; ++i) {
            body[i] = data[i];
        }
    }
    if (size < 2) {
        ++unanswered;
        return;
    }
    const uint8_t device = body[0];
    const uint8_t command = body[1];
    uint8_t reply[16];
    int replySize = 0;
    reply[replySize++] = device;
    if (command >= 0xD0 && command <= 0xD5) {
        const bool shortAddress = command <= 0xD1;
        const uint32_t address = shortAddress ? body[2] : static_cast<uint32_t>(body[2] << 8 | body[3]);
        for (uint32_t k = 0; k < 8; ++k) {
            reply[replySize++] = MemoryByte(device, command, address + k);
        }
    } else if (command == 0xF0 || command == 0xF1) {
        ++passwordFrames;
        reply[replySize++] = command;  // passwords are always binary
        Reply(port, false, reply, replySize);
        return;
    } else if (!text) {
        reply[replySize++] = command;  // a write is acknowledged with its echo in binary
    }
    Reply(port, text, reply, replySize);
}

void AnsweringDevice::Reply(uint8_t port, bool text, const uint8_t* body, int size) {
    Answer& answer = FAnswers[port];
    answer.pending = true;
    answer.size = 0;
    if (text) {
        answer.bytes[answer.size++] = '!';
        for (int i = 0; i < size; ++i) {
            answer.bytes[answer.size++] = static_cast<uint8_t>(kDigits[body[i] >> 4]);
            answer.bytes[answer.size++] = static_cast<uint8_t>(kDigits[body[i] & 15]);
        }
        answer.bytes[answer.size++] = '\r';
    } else {
        for (int i = 0; i < size; ++i) {
            answer.bytes[answer.size++] = body[i];
        }
        const uint16_t crc = DeviceCrc(body, size);
        answer.bytes[answer.size++] = static_cast<uint8_t>(crc & 0xFF);
        answer.bytes[answer.size++] = static_cast<uint8_t>(crc >> 8);
    }
    answerBytes += answer.size;
}

bool AnsweringDevice::Take(uint8_t port, Answer& answer) {
    if (port >= kMaxPorts || !FAnswers[port].pending) {
        return false;
    }
    answer = FAnswers[port];
    FAnswers[port].pending = false;
    return true;
}

}  // namespace bench
