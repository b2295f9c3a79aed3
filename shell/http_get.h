// One HTTP GET of a URL into memory, with the event loop running meanwhile.
// Both "http:" and "https:" addresses are fetched (redirects followed).
// Raises EUserError when the request fails, when it has not finished
// within TimeoutMs, or when the body would be longer than MaxBytes (the
// transfer is stopped as soon as that is known).
#pragma once

#include <cstdint>
#include <string>

std::string HttpGet(const std::string& Url, int32_t TimeoutMs, int64_t MaxBytes);
