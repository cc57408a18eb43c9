#include "tools/system/progress_bar.h"

#include <iostream>

#include "tools/system/terminal.h"

namespace {

constexpr std::size_t kFilesWorthAProgressBar = 20;
constexpr std::size_t kBarWidth = 30;

}  // namespace

ProgressBar::ProgressBar(std::string label, std::size_t total)
    : label_(std::move(label)),
      total_(total),
      visible_(total >= kFilesWorthAProgressBar && StandardErrorIsTerminal()) {}

// Blanks rather than an erase-line escape, which a Windows console without virtual terminal
// processing would print as it is.
ProgressBar::~ProgressBar() {
    if (visible_) std::cerr << '\r' << std::string(drawnLength_, ' ') << '\r' << std::flush;
}

void ProgressBar::Show(std::size_t done) {
    if (!visible_) return;
    const std::lock_guard<std::mutex> lock(drawing_);
    // Threads report in any order: a count a slower thread took before a faster one's is old.
    if (done <= highestDone_) return;
    highestDone_ = done;
    const std::size_t percent = done * 100 / total_;
    if (percent == drawnPercent_) return;
    drawnPercent_ = percent;
    const std::size_t filled = percent * kBarWidth / 100;
    const std::string line = label_ + " [" + std::string(filled, '#') +
                             std::string(kBarWidth - filled, '.') + "] " + std::to_string(done) +
                             '/' + std::to_string(total_);
    drawnLength_ = line.size();
    std::cerr << '\r' << line << std::flush;
}
