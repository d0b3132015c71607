// The operator's words for a card the machine reports as read twice.
#pragma once

#include <string>

// From a reply such as "HD already read in pocket 3" (suit letter S, H, R or K, then the rank
// B, D, K or a number, a blank and "already read in"): "Queen of Hearts". Any other reply comes
// back unchanged.
std::string CardDescription(const std::string& reply);
