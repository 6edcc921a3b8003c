// ASCII armor and its CRC-24 check line.
#pragma once

// Builds the CRC-24 lookup table; core_init calls it.
void crc24_init_table();
