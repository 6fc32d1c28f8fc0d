#pragma once
// Fixed protocol delays. Tests may run the clock faster; no user setting does.
namespace timing {
void SetScale(double scale);   // 1.0 in the product
double Scale();
int Scaled(int ms);            // ms after scaling, at least 1 when ms > 0
void SleepMs(int ms);          // scaled sleep
}  // namespace timing
