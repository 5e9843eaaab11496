#pragma once
// Floyd-Steinberg error diffusion in serpentine order, for dithering to the 16-bit types and to
// palettes alike: rows run left to right and right to left in turn, so the carried error does
// not drift one way down the level.

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace korvale {

// The error carried in four channels a pixel, for the row being visited and the one below.
class ErrorDiffusion {
  public:
    // What each neighbour gets: the next pixel in the row, then below behind, below, below ahead.
    static constexpr std::array<float, 4> kShares = {7.0f / 16.0f, 3.0f / 16.0f, 5.0f / 16.0f,
                                                     1.0f / 16.0f};

    // Calls visit(x, y, i) for each of the first count pixels of a level width pixels wide, in
    // serpentine order; i is the pixel's row-major index. A last row cut short is visited as far
    // as it goes.
    template <typename Visit>
    void Run(std::size_t width, std::size_t count, Visit&& visit) {
        // A spare pixel at each end of a row, so the diffusion needs no edge checks.
        current_.assign((width + 2) * 4, 0.0f);
        next_.assign((width + 2) * 4, 0.0f);
        const std::size_t rows = width == 0 ? 0 : (count + width - 1) / width;
        for (std::size_t y = 0; y < rows; ++y) {
            forward_ = y % 2 == 0;
            std::fill(next_.begin(), next_.end(), 0.0f);
            for (std::size_t step = 0; step < width; ++step) {
                const std::size_t x = forward_ ? step : width - 1 - step;
                const std::size_t i = y * width + x;
                if (i < count) {
                    here_ = (x + 1) * 4;
                    visit(x, y, i);
                }
            }
            std::swap(current_, next_);
        }
    }

    // Whether the row being visited runs left to right.
    [[nodiscard]] bool Forward() const { return forward_; }

    // The error carried into channel c of the pixel being visited.
    [[nodiscard]] float Carried(std::size_t c) const { return current_[here_ + c]; }

    // Passes the error of channel c of the pixel being visited on to its neighbours.
    void Pass(std::size_t c, float error, const std::array<float, 4>& shares = kShares) {
        const std::size_t ahead = forward_ ? here_ + 4 : here_ - 4;
        const std::size_t behind = forward_ ? here_ - 4 : here_ + 4;
        current_[ahead + c] += error * shares[0];
        next_[behind + c] += error * shares[1];
        next_[here_ + c] += error * shares[2];
        next_[ahead + c] += error * shares[3];
    }

  private:
    std::vector<float> current_;
    std::vector<float> next_;
    std::size_t here_ = 0;
    bool forward_ = true;
};

}  // namespace korvale
