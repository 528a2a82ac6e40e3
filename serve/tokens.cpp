#include "serve/tokens.h"

#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "serve/utc_time.h"
#include "shapes/outcome.h"

namespace stampctl_serve {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTokenPrefix = "stk_";
constexpr int kTokenBytes = 32;
constexpr const char* kGroup = "stampctl";
constexpr mode_t kFileMode = 0640;  // root and the group stampctl read it, nobody else
constexpr mode_t kDirMode = 0750;
const std::regex kNamePattern("[A-Za-z0-9][A-Za-z0-9_.@-]{0,63}");

std::string hex(const unsigned char* bytes, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

// Owned by the group stampctl where it exists and we may hand it over (as root).
void giveToGroup(const std::string& path, mode_t mode)
{
    ::chmod(path.c_str(), mode);
    if (const struct group* g = ::getgrnam(kGroup)) (void)!::chown(path.c_str(), static_cast<uid_t>(-1), g->gr_gid);
}

bool sameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

const char* roleName(Role role)
{
    switch (role) {
    case Role::Viewer: return "viewer";
    case Role::Operator: return "operator";
    case Role::Engineer: return "engineer";
    }
    return "viewer";
}

std::optional<Role> roleNamed(const std::string& name)
{
    for (Role role : {Role::Viewer, Role::Operator, Role::Engineer})
        if (name == roleName(role)) return role;
    return std::nullopt;
}

std::string tokenFilePath() { return stampctl_shapes::baseDir() + "/serve/tokens"; }

std::string sha256Hex(const std::string& text)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    return hex(digest, length);
}

bool TokenFile::load(std::vector<TokenEntry>& entries, std::string& error) const
{
    entries.clear();
    std::ifstream in(m_path);
    if (!in) {
        if (errno == ENOENT) return true;  // no token yet
        error = "cannot read " + m_path + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        TokenEntry e;
        std::string role;
        if (!(fields >> e.name >> role >> e.hash >> e.created)) continue;
        const auto r = roleNamed(role);
        if (!r) continue;
        e.role = *r;
        entries.push_back(e);
    }
    return true;
}

// Written beside and renamed over the old file, so the service never reads half of it.
bool TokenFile::save(const std::vector<TokenEntry>& entries, std::string& error) const
{
    const fs::path path(m_path);
    std::error_code ec;
    if (!fs::is_directory(path.parent_path())) {
        fs::create_directories(path.parent_path(), ec);
        if (ec) {
            error = "cannot create " + path.parent_path().string() + ": " + ec.message();
            return false;
        }
        giveToGroup(path.parent_path().string(), kDirMode);
    }
    std::string text = "# stampctl serve tokens: name role sha256 created (stampctl token add|list|revoke)\n";
    for (const TokenEntry& e : entries) text += e.name + " " + roleName(e.role) + " " + e.hash + " " + e.created + "\n";
    const std::string temporary = m_path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
    if (fd < 0) {
        error = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    ::close(fd);
    giveToGroup(temporary, kFileMode);
    if (!written || ::rename(temporary.c_str(), m_path.c_str()) != 0) {
        error = "cannot write " + m_path + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string TokenFile::add(const std::string& name, Role role, std::string& error)
{
    if (!std::regex_match(name, kNamePattern)) {
        error = "a token name is 1 to 64 letters, digits, '_', '.', '@' or '-', beginning with a letter or digit";
        return {};
    }
    std::vector<TokenEntry> entries;
    if (!load(entries, error)) return {};
    for (const TokenEntry& e : entries) {
        if (e.name == name) {
            error = "a token named " + name + " exists; revoke it first";
            return {};
        }
    }
    unsigned char random[kTokenBytes];
    if (RAND_bytes(random, sizeof random) != 1) {
        error = "no random bytes from OpenSSL";
        return {};
    }
    const std::string token = kTokenPrefix + hex(random, sizeof random);
    entries.push_back({name, role, sha256Hex(token), utcNow()});
    if (!save(entries, error)) return {};
    return token;
}

bool TokenFile::revoke(const std::string& name, std::string& error)
{
    std::vector<TokenEntry> entries;
    if (!load(entries, error)) return false;
    const size_t before = entries.size();
    entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const TokenEntry& e) { return e.name == name; }),
                  entries.end());
    if (entries.size() == before) {
        error = "no token named " + name;
        return false;
    }
    return save(entries, error);
}

std::vector<TokenEntry> TokenFile::list(std::string& error) const
{
    std::vector<TokenEntry> entries;
    load(entries, error);
    return entries;
}

std::optional<TokenEntry> TokenFile::find(const std::string& token)
{
    const std::string hash = sha256Hex(token);
    std::lock_guard<std::mutex> guard(m_lock);
    struct stat info {};
    const bool exists = ::stat(m_path.c_str(), &info) == 0;
    if (!exists) {
        m_cache.clear();
        m_cached = false;
    } else if (!m_cached || !sameTime(info.st_mtim, m_cacheTime) || info.st_ino != m_cacheInode) {
        std::string error;
        if (load(m_cache, error)) {
            m_cached = true;
            m_cacheTime = info.st_mtim;
            m_cacheInode = info.st_ino;
        }
    }
    for (const TokenEntry& e : m_cache)
        if (e.hash.size() == hash.size() && CRYPTO_memcmp(e.hash.data(), hash.data(), hash.size()) == 0) return e;
    return std::nullopt;
}

}  // namespace stampctl_serve
