// What the Windows half of File decides by itself, declared here for its tests to ask.
#pragma once

#include "engine/win32.h"

// The access a new file beside an output asks for: what a share grants a user who may
// change its files (read, write, delete, attributes), and the right to set the file's
// DACL or owner only where it is to be given the old output's. old_security: the old
// output's owner and DACL (null for a new output, or where its file system keeps none);
// user: the user this program runs as.
DWORD new_file_access(PSECURITY_DESCRIPTOR old_security, PSID user);
