#pragma once

// Symbols the host resolves by name in the loaded module.
#define KVO_MODULE_EXPORT __attribute__((visibility("default")))
