#pragma once
// Re-points the named machine's first network adapter (to be filled in).
