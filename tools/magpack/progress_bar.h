#pragma once
#include <cstdint>

// A one-line progress bar on stderr, drawn only when stderr is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(int64_t total);
    ~ProgressBar();
    void Update(int64_t done);

private:
    int64_t m_total;
    int m_lastPercent = -1;
    bool m_enabled;
};
