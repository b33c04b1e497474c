#include "shell/JobContext.h"

std::atomic<bool> UserCancelled{false};

namespace {
JobContext g_idle;
JobContext* g_current = &g_idle;
}

JobContext& CurrentJob() { return *g_current; }

ScopedJob::ScopedJob(JobContext& context) : previous_(g_current) {
    UserCancelled = false;
    g_current = &context;
}

ScopedJob::~ScopedJob() { g_current = previous_; }
