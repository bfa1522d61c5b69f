// Where SQL Server keeps its management classes on this host.
#pragma once

#include "plugin_text.h"

// The namespace chosen for one export call.
struct SqlNamespace {
    bool resolved;
    StackChar name[64];
};

// WmiQuery of class SqlServiceAdvancedProperty, property PropertyStrValue, in
// "Microsoft\SqlServer\ComputerManagement" (SQL Server 2005) or, when that
// namespace is missing, in the newest ComputerManagement10..16 that exists.
// The choice is made by the first call and kept in where. When none exists,
// fails with the error of the unsuffixed attempt.
bool SqlPropertyQuery(SqlNamespace& where, const StackChar* condition);
