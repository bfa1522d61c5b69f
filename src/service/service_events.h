#pragma once

// Records "<functionName> failed with <last error>" as an error event of the
// source ServiceName. Call it straight after the failing call.
void ReportFailureEvent(const wchar_t* functionName);
