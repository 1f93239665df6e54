// MD5_digest: the MD5 message digest (RFC 1321).
#pragma once
#include <cstddef>
#include <cstdint>

struct MD5_context {
    uint32_t count[2]; // bit count, low word first
    uint32_t state[4];
    unsigned char buffer[64];
    unsigned char digest[16];
};

void MD5_init(MD5_context* ctx);
void MD5_update(MD5_context* ctx, const unsigned char* bytes, size_t length);
void MD5_update_short(MD5_context* ctx, const unsigned char* bytes, unsigned int length);
// The digest of everything passed to MD5_update is then in ctx->digest.
void MD5_final(MD5_context* ctx);
