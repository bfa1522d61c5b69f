// The one routine through which the plug-in reads the system.
#pragma once

#include "plugin_text.h"

#include <wbemcli.h>

// Text of the value read by the latest successful query, and the message of
// the latest failed one.
extern StackChar ValueText[TextBufferChars];
extern StackChar ErrorText[TextBufferChars];

// Result of the latest query's ConnectServer when it failed, S_OK otherwise:
// tells a missing namespace apart from other failures.
extern HRESULT ConnectResult;

// Creates the WMI locator; tests put a simulated WMI here.
extern HRESULT (*CreateLocator)(IWbemLocator** locator);

// Selects the objects of class in ROOT\namespace that match condition (none
// when empty) and leaves the text of property of the last one in ValueText
// (empty when none matched). On failure leaves the failing step's message and
// code in ErrorText and returns false. Each call connects anew; COM must be
// initialised on the calling thread.
bool WmiQuery(const StackChar* name_space, const StackChar* class_name, const StackChar* property,
    const StackChar* condition);
