#pragma once

#include <functional>

inline constexpr auto HomePageAddress = "https://www.quarnell.example/tessaly";
inline constexpr auto ContactPageAddress = "https://www.quarnell.example/contact";

// About one start in a hundred opens the maker's home page. The random fraction in [0, 1) comes
// from the source given (the system's generator by default).
void MaybeOpenHomePage(const std::function<double()>& randomFraction = {});
