// The instance mark on Windows: a named mutex, which only marks that an instance runs.
#include "notifier/instance_mutex.hpp"

#include "support/scoped_resource.hpp"
#include "support/windows_handles.hpp"

namespace notifier {

bool another_instance_runs(const std::u16string& name) {
    // Held until the process ends.
    static checker::ScopedResource<checker::KernelHandle> mutex;
    const HANDLE handle = CreateMutexW(nullptr, FALSE, reinterpret_cast<const WCHAR*>(name.c_str()));
    const bool already_exists = GetLastError() == ERROR_ALREADY_EXISTS;
    mutex.reset(handle);
    return already_exists;
}

}  // namespace notifier
