#pragma once
// Thin VirtualBox binding over COM automation (to be filled in).
