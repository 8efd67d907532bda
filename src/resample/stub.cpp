#include "resample/bootstrap.hpp"
#include "resample/permutation_test.hpp"
namespace bandscape {
void permutation_test_fst(int, int, int, int, int, const IMatrix&, const IVector&, float, float, RandomState&, const std::string&, MessageLog&, int) {}
void bootstrap_distance(int, int, int, const IMatrix&, const FMatrix&, const FMatrix&, RandomState&, const NameList&, MessageLog&, int) {}
}
