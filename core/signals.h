// SPDX-License-Identifier: GPL-3.0-or-later
// Signal handling shared by the programs: an interrupted run leaves no temporary file.
#pragma once

namespace uy {

// Installs, once, handlers for every signal that ends the process and can be caught
// (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGPROF,
// SIGVTALRM, the real-time signals...; not the faults a program raises on itself) that
// remove the registered temporary files and then end the process by the same signal
// (exit status 128 + sig). A signal the process inherited as ignored stays ignored.
// SIGXFSZ is ignored, so that a write past the file size limit fails with EFBIG like any
// other write, and the writer removes its file.
void InstallSignalHandlers();

// Temporary files to remove when such a signal arrives. Register returns a slot (or -1
// when all are taken or the path is too long: the file is then left to the caller's own
// clean-up); the handler reads the slots without allocating or locking.
int RegisterTemporaryFile(const char* path) noexcept;
void UnregisterTemporaryFile(int slot) noexcept;

}  // namespace uy
