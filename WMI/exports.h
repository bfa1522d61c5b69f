// The plug-in's exports, called by the installer engine by name (cdecl,
// undecorated through SysFacts.def). Each takes the stack and the string size
// from its arguments and leaves its answer with "ok" or "error" on top.
#pragma once

#include "plugin_stack.h"

#define SYSFACTS_EXPORT(name) \
    extern "C" void __cdecl name([[maybe_unused]] HWND parent, int string_size, [[maybe_unused]] StackChar* variables, \
        StackEntry** stack_top, [[maybe_unused]] void* extra)

SYSFACTS_EXPORT(AntiVirus);
SYSFACTS_EXPORT(CPU);
SYSFACTS_EXPORT(FireWall);
SYSFACTS_EXPORT(FullOS);
SYSFACTS_EXPORT(FullSQLVersion);
SYSFACTS_EXPORT(OS);
SYSFACTS_EXPORT(OSVersion);
SYSFACTS_EXPORT(Request);
SYSFACTS_EXPORT(Request2);
SYSFACTS_EXPORT(Resolution);
SYSFACTS_EXPORT(SQLVersion);
SYSFACTS_EXPORT(ShortUserName);
SYSFACTS_EXPORT(UserName);
SYSFACTS_EXPORT(UserSID);
