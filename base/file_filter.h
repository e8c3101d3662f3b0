#pragma once
// File-filter lists for open and save dialogs: zero-terminated texts ended by
// an empty text, in label/pattern pairs ("All Image", "*.png;*.jpg;", "PNG
// image (*.png)", "*.png", ...). Patterns are separated by ";".

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace tavlin {

// The texts of a list, up to the empty text that ends it.
std::vector<std::string> splitFilter(const std::string& list);

// A list of the given texts (labels and patterns in turn).
std::string filterList(std::initializer_list<std::string> parts);
std::string filterList(const std::vector<std::string>& parts);

// The label/pattern pairs of two lists, one after the other.
std::string joinFilters(const std::string& a, const std::string& b);

// The pairs of a list; a label without a pattern is left out.
std::vector<std::pair<std::string, std::string>> filterPairs(const std::string& list);

}  // namespace tavlin
