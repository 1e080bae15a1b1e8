// The instance mark on Windows: a named mutex, which only marks that an instance runs.
#include "notifier/instance_mutex.hpp"

#include "support/kernel_handle.hpp"
#include "support/scoped_resource.hpp"

namespace notifier {
namespace {

class NamedMutex final : public InstanceMutex {
public:
    explicit NamedMutex(const std::u16string& name)
        : handle_(CreateMutexW(nullptr, FALSE, reinterpret_cast<const WCHAR*>(name.c_str()))),
          already_exists_(GetLastError() == ERROR_ALREADY_EXISTS) {}
    bool another_instance_runs() const override { return already_exists_; }

private:
    const checker::ScopedResource<checker::KernelHandle> handle_;
    const bool already_exists_;
};

}  // namespace

std::unique_ptr<InstanceMutex> mark_instance(const std::u16string& name) {
    return std::make_unique<NamedMutex>(name);
}

}  // namespace notifier
