// One-time set-up shared by every entry point: each calls it first, so every
// thread sees the finished tables.
#pragma once

void prepare_library();
