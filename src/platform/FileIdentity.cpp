// POSIX implementation of identity-keeping replacements: fstat, faccessat, fchown, fchmod and
// the extended attribute calls on a PendingFile copy, which does the rename.
#include "platform/FileIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace veltro::platform {

namespace {

bool Fail(std::string* reason, std::string text) {
  if (reason != nullptr) *reason = std::move(text);
  return false;
}

std::string Reason(const std::string& what, const std::string& path, int code) {
  return what + " " + path + ": " + std::strerror(code);
}

// The names of the extended attributes of `fd`; nullopt on an error other than "not
// supported", which means there are none.
std::optional<std::vector<std::string>> AttributeNames(int fd) {
  for (;;) {
    const ssize_t size = flistxattr(fd, nullptr, 0);
    if (size < 0) {
      if (errno == ENOTSUP) return std::vector<std::string>{};
      return std::nullopt;
    }
    std::string list(static_cast<size_t>(size), '\0');
    const ssize_t got = flistxattr(fd, list.data(), list.size());
    if (got < 0 && errno == ERANGE) continue;  // the list grew meanwhile
    if (got < 0) return std::nullopt;
    std::vector<std::string> names;
    for (size_t start = 0; start < static_cast<size_t>(got);) {
      const size_t end = list.find('\0', start);
      if (end == std::string::npos || end > static_cast<size_t>(got)) break;
      if (end > start) names.push_back(list.substr(start, end - start));
      start = end + 1;
    }
    return names;
  }
}

std::optional<std::string> AttributeValue(int fd, const std::string& name) {
  for (;;) {
    const ssize_t size = fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) return std::nullopt;
    std::string value(static_cast<size_t>(size), '\0');
    const ssize_t got = fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return std::nullopt;
    value.resize(static_cast<size_t>(got));
    return value;
  }
}

}  // namespace

std::optional<FileIdentity> ReadFileIdentity(int fd, const std::string& path, std::string* reason) {
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    Fail(reason, Reason("cannot examine", path, errno));
    return std::nullopt;
  }
  FileIdentity identity;
  identity.owner = status.st_uid;
  identity.group = status.st_gid;
  identity.permissions = status.st_mode & 07777;
  identity.links = status.st_nlink;
  const auto names = AttributeNames(fd);
  if (!names) {
    Fail(reason, Reason("cannot list the extended attributes of", path, errno));
    return std::nullopt;
  }
  for (const std::string& name : *names) {
    auto value = AttributeValue(fd, name);
    if (!value) {
      Fail(reason, Reason("cannot read the extended attribute " + name + " of", path, errno));
      return std::nullopt;
    }
    identity.extendedAttributes.emplace_back(name, std::move(*value));
  }
  return identity;
}

bool MayReplaceInPlace(const std::string& path, const FileIdentity& identity, std::string* reason) {
  if (identity.links > 1) {
    return Fail(reason, path + " has " + std::to_string(identity.links) +
                            " hard links; rewriting it would split them, so it is left alone");
  }
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return true;
  const int code = errno;
  if (code == EACCES && geteuid() == identity.owner) return true;
  return Fail(reason, Reason("cannot write", path, code));
}

std::optional<ReplacementFile> ReplacementFile::Create(const std::string& path,
                                                       std::string* reason) {
  std::optional<PendingFile> copy = PendingFile::Create(path, reason, TemporaryName::kShortHidden);
  if (!copy) return std::nullopt;
  return ReplacementFile(std::move(*copy));
}

bool ReplacementFile::Write(const void* bytes, size_t count, std::string* reason) {
  return pending_.Write(bytes, count, reason);
}

bool ReplacementFile::Commit(const FileIdentity& identity, bool* committed, std::string* reason) {
  const int fd = pending_.Descriptor();
  const std::string& target = pending_.Target();
  struct stat status {};
  if (fstat(fd, &status) != 0)
    return Fail(reason, Reason("cannot examine the copy of", target, errno));
  // The owner goes first: a change of owner clears the set-user-ID bits and some attributes.
  if ((status.st_uid != identity.owner || status.st_gid != identity.group) &&
      fchown(fd, identity.owner, identity.group) != 0) {
    return Fail(reason, Reason("cannot give the owner and group of the song to the copy of", target,
                               errno));
  }
  for (const auto& [name, value] : identity.extendedAttributes) {
    if (fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) {
      return Fail(reason, Reason("cannot give the extended attribute " + name + " to the copy of",
                                 target, errno));
    }
  }
  if (fchmod(fd, static_cast<mode_t>(identity.permissions)) != 0) {
    return Fail(reason, Reason("cannot set the permissions of the copy of", target, errno));
  }
  if (fsync(fd) != 0) return Fail(reason, Reason("cannot flush the copy of", target, errno));
  if (!pending_.Replace(reason)) return false;
  *committed = true;
  return SyncDirectoryOf(target, reason);
}

void RemoveAbandonedReplacements(const std::string& path) {
  RemoveAbandonedTemporaries(path, TemporaryName::kShortHidden);
}

}  // namespace veltro::platform
