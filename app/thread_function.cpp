#include "thread_function.h"

#include "log.h"

#include <climits>
#include <cxxabi.h>
#include <cstdlib>
#include <exception>
#include <memory>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <typeinfo>

namespace {

std::string class_name(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                               std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

}  // namespace

int thread_function::operator()()
{
    try {
        while (!m_end.load()) {
            if (pre_proc()) {
                main_loop();
                post_proc();
            }
        }
    } catch (const std::exception& e) {
        log_s.error("%s exception catched: %s", class_name(typeid(*this)).c_str(), e.what());
    } catch (...) {
        log_s.error("%s: unknown exception catched.", class_name(typeid(*this)).c_str());
    }
    return 0;
}

int thread_function::set_priority(int policy, int priority)
{
    if (priority == INT_MIN)
        priority = sched_get_priority_min(policy);
    else if (priority == INT_MAX)
        priority = sched_get_priority_max(policy);

    sched_param param{};
    int current_policy = 0;
    const int r = pthread_getschedparam(pthread_self(), &current_policy, &param);
    if (r != 0)
        return r;
    param.sched_priority = priority >= 90 ? 90 : priority;
    return pthread_setschedparam(pthread_self(), policy, &param);
}
