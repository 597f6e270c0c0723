// Marks the threads that are inside the shim's own work (starting up, or in
// a plug-in call). Socket calls such a thread makes - a name lookup inside
// the site filter, the log's syslog socket - go straight to the C library, so
// the shim never filters itself or waits on its own locks.
#pragma once

namespace lsp {

inline thread_local bool t_insideShim __attribute__((tls_model("initial-exec"))) = false;

class ShimScope {
public:
    ShimScope() : m_outer(t_insideShim) { t_insideShim = true; }
    ~ShimScope() { t_insideShim = m_outer; }
    ShimScope(const ShimScope&) = delete;
    ShimScope& operator=(const ShimScope&) = delete;

private:
    bool m_outer;
};

}  // namespace lsp
