// (temporary: replaced by the streaming walker)
#pragma once
#include <cstdint>
bool count_total_stations(const char* path, int32_t* count);
int scan_total_stations(const char* path, int32_t* count);
