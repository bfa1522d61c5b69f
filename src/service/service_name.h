#pragma once

// The service's name: also its display name, its dispatcher entry and its
// event source.
inline constexpr wchar_t ServiceName[] = L"VmKestal-svc";
