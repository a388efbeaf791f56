// Refusing allocations on purpose, for the memory-failure tests. A test program that uses it is
// linked with --wrap=malloc and AllocLimit.cpp; while a Limit is alive only the given number of
// further allocations succeed (under the static Windows runtime operator new allocates through
// malloc as well).
#pragma once

struct Limit {
    explicit Limit(int allowed);
    ~Limit();
    Limit(const Limit&) = delete;
    Limit& operator=(const Limit&) = delete;
};
