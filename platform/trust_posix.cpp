#include "platform/trust_posix.h"

#include <unistd.h>

#include <cstdio>

namespace kw::os::trust {
namespace {

// The process's own user, or root: their entries lead anywhere.
bool trusted_user(uid_t user) {
  return user == ::geteuid() || user == 0;
}

bool sticky(const struct stat& folder) {
  return (folder.st_mode & S_ISVTX) != 0;
}

// Whether a user other than the process's user and root may write in the
// folder: its owner, its group (unless root's), every user.
bool others_may_write(const struct stat& folder) {
  return !trusted_user(folder.st_uid) || (folder.st_mode & S_IWOTH) != 0 ||
         ((folder.st_mode & S_IWGRP) != 0 && folder.st_gid != 0);
}

// Rule 2: a folder whose entries any of several users may have put there.
bool insecure(const struct stat& folder) {
  if (sticky(folder)) return false;
  return (folder.st_mode & S_IWOTH) != 0 ||
         (::geteuid() == 0 && (folder.st_mode & S_IWGRP) != 0 && folder.st_gid != 0);
}

// Rule 3's folders: sticky, and others may write them.
bool shared_sticky(const struct stat& folder) {
  return sticky(folder) && (folder.st_mode & (S_IWOTH | S_IWGRP)) != 0;
}

// Whether an entry of `owner` in a shared sticky folder is the process's
// user's or the folder owner's.
bool owned_here(uid_t owner, const struct stat& folder) {
  return owner == ::geteuid() || owner == folder.st_uid;
}

std::string quoted(const std::string& name) {
  return "\"" + name + "\"";
}

std::string user(uid_t id) {
  return "user " + std::to_string(id);
}

std::string mode_of(const struct stat& info) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(info.st_mode & 07777));
  return text;
}

// "the folder "F" may be written by every user (mode 0777) and is not
// sticky", for a folder rule 2 refuses.
std::string insecure_folder(const Entry& folder) {
  const bool everyone = (folder.info.st_mode & S_IWOTH) != 0;
  return "the folder " + quoted(folder.name) + " may be written by " +
         (everyone ? std::string("every user")
                   : "the users of group " + std::to_string(folder.info.st_gid)) +
         " (mode " + mode_of(folder.info) + ") and is not sticky";
}

constexpr const char* kWhatToDo =
    " (run as the folder's owner, or in a folder that only you may write)";

}  // namespace

bool may_step(const Entry& from, const Entry& to, std::string& why) {
  if (trusted_user(from.info.st_uid) || from.info.st_uid == to.info.st_uid) return true;
  why = quoted(to.name) + " belongs to " + user(to.info.st_uid) + ", reached from " +
        quoted(from.name) + " of " + user(from.info.st_uid) +
        ": not taken (what another user controls leads only to what that user owns)";
  return false;
}

bool may_follow(const Entry& folder, const Entry& link, std::string& why) {
  const uid_t owner = link.info.st_uid;
  const std::string link_name = "the symbolic link " + quoted(link.name);
  if (insecure(folder.info)) {
    why = insecure_folder(folder) + ": " + link_name + " there is not followed" + kWhatToDo;
    return false;
  }
  if (!trusted_user(owner) && owner != folder.info.st_uid) {
    why = link_name + " belongs to " + user(owner) + ", in a folder of " +
          user(folder.info.st_uid) +
          ": not followed (links are followed when the user, the folder's owner or root made "
          "them)";
    return false;
  }
  if (shared_sticky(folder.info) && !owned_here(owner, folder.info)) {
    why = link_name + " belongs to " + user(owner) + ", in the sticky folder " +
          quoted(folder.name) + " of " + user(folder.info.st_uid) +
          ", which others may write: not followed (there only the user's and the folder "
          "owner's entries are used)";
    return false;
  }
  return true;
}

bool may_use(const Entry& folder, const Entry* entry, Use use, std::string& why) {
  const bool output = use == Use::output;
  if (output && insecure(folder.info)) {
    why = insecure_folder(folder) + ": nothing is written there" + kWhatToDo;
    return false;
  }
  if (entry == nullptr) return true;
  const struct stat& info = entry->info;
  const bool fifo = S_ISFIFO(info.st_mode);
  const bool regular = S_ISREG(info.st_mode);
  if ((fifo || (output && regular)) && shared_sticky(folder.info) &&
      !owned_here(info.st_uid, folder.info)) {
    why = quoted(entry->name) + " belongs to " + user(info.st_uid) + ", in the sticky folder " +
          quoted(folder.name) + " of " + user(folder.info.st_uid) +
          ", which others may write: not used (there only the user's and the folder owner's " +
          (fifo ? "FIFOs" : "files") + " are used)";
    return false;
  }
  if (!regular && !S_ISDIR(info.st_mode) && !trusted_user(info.st_uid)) {
    why = quoted(entry->name) + (fifo ? " is a FIFO" : " is not a regular file") + " of " +
          user(info.st_uid) +
          ": not used (a file that is not a regular one, which may never end or never be read, "
          "is used only when the user or root made it)";
    return false;
  }
  if (regular && info.st_nlink > 1 && others_may_write(folder.info)) {
    why = quoted(entry->name) + " has " + std::to_string(info.st_nlink) +
          " hard links, in a folder that other users may write: not used (any of them may have "
          "linked it to a file they must not reach)";
    return false;
  }
  return true;
}

}  // namespace kw::os::trust
