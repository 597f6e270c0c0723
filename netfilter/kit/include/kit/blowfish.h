// Blowfish in ECB mode for the database files, on Nettle's cipher.
//
// The files store each 8-byte block as two 32-bit words in little-endian byte
// order (left word = bytes 0 to 3); Nettle reads them big-endian, so every
// word is byte-swapped around the cipher call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

class EncryptionInterface {
public:
    virtual ~EncryptionInterface() = default;
    // Enciphers LENGTH bytes of INPUT into OUTPUT, padding the last block with
    // zeros; OUTPUT holds the length rounded up to a multiple of 8, which is
    // returned.
    virtual std::size_t Encrypt(const std::uint8_t* input, std::size_t length, std::uint8_t* output) = 0;
    // Deciphers the whole 8-byte blocks of INPUT into OUTPUT (which may be
    // INPUT itself) and returns how many bytes that was: LENGTH rounded down
    // to a multiple of 8. A partial last block is neither read nor written.
    virtual std::size_t Decrypt(const std::uint8_t* input, std::size_t length, std::uint8_t* output) = 0;
};

class BlowFishEnc final : public EncryptionInterface {
public:
    // KEY: 1 to 56 bytes, taken cyclically by the key schedule.
    explicit BlowFishEnc(std::string_view key);
    ~BlowFishEnc() override;  // clears the key schedule
    BlowFishEnc(const BlowFishEnc&) = delete;
    BlowFishEnc& operator=(const BlowFishEnc&) = delete;

    bool valid() const { return m_valid; }
    std::size_t Encrypt(const std::uint8_t* input, std::size_t length, std::uint8_t* output) override;
    std::size_t Decrypt(const std::uint8_t* input, std::size_t length, std::uint8_t* output) override;

private:
    struct Schedule;
    std::unique_ptr<Schedule> m_schedule;
    bool m_valid = false;
};
