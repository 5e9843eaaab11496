#include "BatchOutputs.h"

#include <filesystem>
#include <system_error>

namespace korvale {

std::map<std::string, Status> Clashes(const std::vector<std::string>& inputs,
                                      const std::vector<std::vector<std::string>>& outputsOf) {
    // Outputs are compared as written and as absolute paths, so "out/a.mip" and "./out/a.mip"
    // are one file even before it exists.
    std::map<std::string, std::vector<std::size_t>> users;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        for (const std::string& out : outputsOf[i]) {
            std::error_code ec;
            const std::filesystem::path absolute = std::filesystem::absolute(out, ec);
            std::vector<std::size_t>& list =
                users[(ec ? std::filesystem::path(out) : absolute).lexically_normal().string()];
            if (list.empty() || list.back() != i) {
                list.push_back(i);
            }
        }
    }
    std::map<std::string, Status> clashes;
    for (const auto& [out, list] : users) {
        if (list.size() < 2) {
            continue;
        }
        std::string names;
        for (const std::size_t i : list) {
            names += (names.empty() ? "" : ", ") + inputs[i];
        }
        for (const std::size_t i : list) {
            clashes.try_emplace(inputs[i], Status::Failure(names + " would all be written to " +
                                                           out + "; none of them was")
                                               .In(inputs[i]));
        }
    }
    return clashes;
}

}  // namespace korvale
