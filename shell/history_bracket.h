// The history command around one edit of the document window: every
// recorded edit goes through these brackets (roll back on failure, no step
// without change). They live in store/ so that the property panel and its
// pages, below the shell, share them.
#pragma once

#include "store/history_bracket.h"
