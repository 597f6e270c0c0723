#include "kit/blowfish.h"

#include <cstring>
#include <nettle/blowfish.h>

struct BlowFishEnc::Schedule {
    blowfish_ctx ctx;
};

namespace {

// Reverses the bytes of each 32-bit word of one 8-byte block.
void SwapWords(const std::uint8_t* in, std::uint8_t* out)
{
    const std::uint8_t b[8] = {in[0], in[1], in[2], in[3], in[4], in[5], in[6], in[7]};
    out[0] = b[3]; out[1] = b[2]; out[2] = b[1]; out[3] = b[0];
    out[4] = b[7]; out[5] = b[6]; out[6] = b[5]; out[7] = b[4];
}

void SecureClear(void* p, std::size_t n)
{
    volatile auto* bytes = static_cast<volatile std::uint8_t*>(p);
    while (n-- > 0)
        *bytes++ = 0;
}

}  // namespace

BlowFishEnc::BlowFishEnc(std::string_view key) : m_schedule(std::make_unique<Schedule>())
{
    if (key.empty() || key.size() > BLOWFISH_MAX_KEY_SIZE)
        return;
    // Nettle reports weak keys but still builds the schedule; Blowfish as
    // published uses it anyway.
    blowfish_set_key(&m_schedule->ctx, key.size(), reinterpret_cast<const std::uint8_t*>(key.data()));
    m_valid = true;
}

BlowFishEnc::~BlowFishEnc()
{
    SecureClear(&m_schedule->ctx, sizeof m_schedule->ctx);
}

std::size_t BlowFishEnc::Encrypt(const std::uint8_t* input, std::size_t length, std::uint8_t* output)
{
    if (!m_valid)
        return 0;
    std::size_t done = 0;
    std::uint8_t block[8];
    for (; done < length; done += 8) {
        std::uint8_t plain[8] = {};
        std::memcpy(plain, input + done, length - done < 8 ? length - done : 8);
        SwapWords(plain, block);
        blowfish_encrypt(&m_schedule->ctx, 8, block, block);
        SwapWords(block, output + done);
    }
    SecureClear(block, sizeof block);
    return done;
}

std::size_t BlowFishEnc::Decrypt(const std::uint8_t* input, std::size_t length, std::uint8_t* output)
{
    if (!m_valid)
        return 0;
    const std::size_t whole = length - length % 8;
    std::uint8_t block[8];
    for (std::size_t done = 0; done < whole; done += 8) {
        SwapWords(input + done, block);
        blowfish_decrypt(&m_schedule->ctx, 8, block, block);
        SwapWords(block, output + done);
    }
    SecureClear(block, sizeof block);
    return whole;
}
