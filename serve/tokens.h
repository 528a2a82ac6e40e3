// Named tokens with a role. The file keeps each token's name, role and SHA-256 hash, never the
// token: whoever reads it cannot stamp. The service rereads it when it changes, so a revoked
// token stops working at its next request.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace stampctl_serve {

enum class Role { Viewer = 0, Operator = 1, Engineer = 2 };

const char* roleName(Role role);
std::optional<Role> roleNamed(const std::string& name);

struct TokenEntry {
    std::string name;
    Role role = Role::Viewer;
    std::string hash;     // SHA-256 of the token, lowercase hex
    std::string created;  // ISO 8601, UTC
};

// The file of tokens under the base directory: serve/tokens.
std::string tokenFilePath();

class TokenFile {
public:
    explicit TokenFile(std::string path) : m_path(std::move(path)) {}

    // A new random token for `name` with `role`, stored by its hash; the token itself is returned
    // only here. Empty with `error` set when the name is taken or invalid, or the file cannot be
    // written.
    std::string add(const std::string& name, Role role, std::string& error);
    // false when no token has that name (or the file cannot be written: `error`).
    bool revoke(const std::string& name, std::string& error);
    std::vector<TokenEntry> list(std::string& error) const;

    // The entry whose hash matches `token`, rereading the file when it changed.
    std::optional<TokenEntry> find(const std::string& token);

private:
    bool load(std::vector<TokenEntry>& entries, std::string& error) const;
    bool save(const std::vector<TokenEntry>& entries, std::string& error) const;

    std::string m_path;
    std::mutex m_lock;  // guards the cache below
    std::vector<TokenEntry> m_cache;
    struct timespec m_cacheTime {};
    ino_t m_cacheInode = 0;
    bool m_cached = false;
};

// SHA-256 of `text` in lowercase hex.
std::string sha256Hex(const std::string& text);

}  // namespace stampctl_serve
