// A progress bar on standard error for commands that go through many files, drawn only when
// standard error is a terminal, so that logs and pipes get nothing but the results.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

class ProgressBar {
public:
    // `label` leads the line ("scanning"). Fewer than 20 files finish before a bar is worth it.
    ProgressBar(std::string label, std::size_t total);
    ~ProgressBar();  // clears the line
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // `done` of the total are finished. Any thread may call it; the line is redrawn only when
    // the percentage changes, and never shows fewer than it showed.
    void Show(std::size_t done);

private:
    std::string label_;
    std::size_t total_;
    bool visible_;
    std::size_t highestDone_ = 0;
    std::size_t drawnPercent_ = 101;
    std::size_t drawnLength_ = 0;
    std::mutex drawing_;
};
