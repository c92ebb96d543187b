#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>

ProgressBar::ProgressBar(int64_t total) : m_total(total), m_enabled(isatty(2) && total > 0) {}

ProgressBar::~ProgressBar() {
    if (m_enabled && m_lastPercent >= 0)
        std::fputc('\n', stderr);
}

void ProgressBar::Update(int64_t done) {
    if (!m_enabled)
        return;
    const int percent = static_cast<int>(done >= m_total ? 100 : done * 100 / m_total);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    char bar[41];
    for (int i = 0; i < 40; ++i)
        bar[i] = i < percent * 40 / 100 ? '#' : '.';
    bar[40] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    std::fflush(stderr);
}
