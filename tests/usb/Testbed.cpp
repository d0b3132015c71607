#include "Testbed.h"

#include <future>
#include <memory>

namespace usbemu {
namespace {

struct Periodic {
  std::function<void()> work;
};

gboolean RunPeriodic(gpointer data) {
  static_cast<Periodic*>(data)->work();
  return G_SOURCE_CONTINUE;
}

gboolean RunLater(gpointer data) {
  static_cast<Periodic*>(data)->work();
  return G_SOURCE_REMOVE;
}

void DropPeriodic(gpointer data) {
  delete static_cast<Periodic*>(data);
}

// Runs `work` on `context`'s thread `ms` from now; `run` says whether it comes round again.
void AddTimeout(GMainContext* context, unsigned ms, GSourceFunc run, std::function<void()> work) {
  GSource* source = g_timeout_source_new(ms);
  g_source_set_callback(source, run, new Periodic{std::move(work)}, DropPeriodic);
  g_source_attach(source, context);
  g_source_unref(source);
}

struct Once {
  const std::function<void()>* work;
  std::promise<void> done;
};

gboolean RunOnce(gpointer data) {
  auto* once = static_cast<Once*>(data);
  (*once->work)();
  once->done.set_value();
  return G_SOURCE_REMOVE;
}

}  // namespace

bool Testbed::Available() {
  return umockdev_in_mock_environment();
}

Testbed::Testbed() {
  bed_ = umockdev_testbed_new();
  gchar* root = umockdev_testbed_get_root_dir(bed_);
  root_ = root;
  g_free(root);
  context_ = g_main_context_new();
  loop_ = g_main_loop_new(context_, FALSE);
  thread_ = std::thread([this] {
    g_main_context_push_thread_default(context_);
    g_main_loop_run(loop_);
    g_main_context_pop_thread_default(context_);
  });
}

Testbed::~Testbed() {
  g_main_loop_quit(loop_);
  // The loop may not have started yet: wake it so that it sees the quit.
  g_main_context_wakeup(context_);
  thread_.join();
  g_main_loop_unref(loop_);
  g_object_unref(bed_);
  g_main_context_unref(context_);
}

bool Testbed::Add(const std::string& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  GError* error = nullptr;
  const bool ok = umockdev_testbed_add_from_string(bed_, record.c_str(), &error);
  if (getenv("USBEMU_DEBUG"))
    fprintf(stderr, "%s\n-> %d %s\n", record.c_str(), ok, error ? error->message : "");
  if (error != nullptr) g_error_free(error);
  return ok;
}

void Testbed::Remove(const std::vector<std::string>& sysfs_paths) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::string& path : sysfs_paths) {
    umockdev_testbed_remove_device(bed_, ("/sys" + path).c_str());
  }
}

bool Testbed::Attach(const std::string& node, UMockdevIoctlBase* handler) {
  bool ok = false;
  Run([&] {
    std::lock_guard<std::mutex> lock(mutex_);
    GError* error = nullptr;
    ok = umockdev_testbed_attach_ioctl(bed_, node.c_str(), handler, &error);
    if (error != nullptr) g_error_free(error);
  });
  return ok;
}

std::string Testbed::RealPath(const std::string& path) const {
  return root_ + path;
}

void Testbed::Run(const std::function<void()>& work) {
  Once once{&work, {}};
  std::future<void> done = once.done.get_future();
  g_main_context_invoke(context_, RunOnce, &once);
  done.wait();
}

void Testbed::Every(unsigned ms, std::function<void()> work) {
  AddTimeout(context_, ms, RunPeriodic, std::move(work));
}

void Testbed::After(unsigned ms, std::function<void()> work) {
  AddTimeout(context_, ms, RunLater, std::move(work));
}

}  // namespace usbemu
