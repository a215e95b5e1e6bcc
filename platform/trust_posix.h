// Whether a path walk may go on from one entry to the next: the rules of
// trust that keep a run, as root above all, from being steered by another
// user of the machine into files that user must not reach. POSIX side of
// the platform layer only; place_posix.cpp applies them at every step.
//
// The rules, each taken from a system that has it:
//  1. What another user controls leads only to what that user owns: a step
//     from an entry of a user who is neither the process's user nor root
//     to an entry of anyone else is refused (systemd's safe path
//     resolution, "never transition from unprivileged to privileged").
//  2. A folder that users other than its owner may write, and that is not
//     sticky, is no place to trust (logrotate's "insecure permissions",
//     OpenSSH's StrictModes): no link in it is followed, nothing in it is
//     written. Always when every user may write it; when running as root,
//     also when a group other than root's may.
//  3. In a sticky folder that others may write, a link or FIFO, and for an
//     output an existing regular file, is used only when its owner is the
//     process's user or the folder's owner (the kernel's protected_symlinks,
//     protected_fifos and protected_regular, applied whatever the system's
//     settings say).
//  4. An existing file that is not a regular one (a FIFO, a device) is
//     used only when the process's user or root made it: another user's
//     could block the run for ever. A file with more than one hard link
//     is not used in a folder that another user may write (any of them may
//     have planted it).
// A link is further followed only when its owner is the process's user,
// root, or the owner of the folder it lies in. Every refusal leaves a
// line in `why` naming the entry, its owner and the rule.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/file.h"

namespace kw::os::trust {

// An entry met on the way, with what fstat said of it.
struct Entry {
  std::string name;  // as the walk reached it ("." for the working folder)
  struct stat info {};
};

// Rule 1: whether the walk may step from `from` to `to`.
bool may_step(const Entry& from, const Entry& to, std::string& why);

// The link rules (owner, rules 2 and 3): whether the link `link`, lying in
// `folder`, may be followed.
bool may_follow(const Entry& folder, const Entry& link, std::string& why);

// Rules 2 to 4 for the entry a walk ends on, lying in `folder`: `entry`
// is nullptr when there is none yet (the process will make it).
bool may_use(const Entry& folder, const Entry* entry, Use use, std::string& why);

}  // namespace kw::os::trust
