// Entry point of the checker program.
#include "checker/run_sequence.hpp"

int main(int argc, char** argv) {
    return checker::run_checker(argc, const_cast<const char**>(argv));
}
