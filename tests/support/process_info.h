// What a test may ask of its own process: open descriptors and resident
// memory, for checks that nothing leaks. -1 where the platform cannot tell.
#pragma once

namespace tandrel::testing {

int open_descriptor_count();
long resident_kib();

}  // namespace tandrel::testing
