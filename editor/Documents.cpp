// The editor's list of open documents, in opening order.
#include "editor/EditorImpl.h"

namespace tessaro {
namespace editor {

using namespace automation;

namespace {

class DocumentsImpl final : public automation::Documents {
 public:
  explicit DocumentsImpl(std::shared_ptr<AppState> app) : FApp(std::move(app)) {}
  Result<int> Count() override {
    Lock lock(FApp->mutex);
    return int(FApp->documents.size());
  }
  Result<DocumentRef> Item(int index) override {
    Lock lock(FApp->mutex);
    if (index < 1 || index > int(FApp->documents.size()))
      return Status::Error("no document " + std::to_string(index) + " (" +
                           std::to_string(FApp->documents.size()) + " open)");
    return MakeDocument(FApp, FApp->documents[size_t(index - 1)]);
  }

 private:
  std::shared_ptr<AppState> FApp;
};

}  // namespace

std::shared_ptr<automation::Documents> MakeDocuments(const std::shared_ptr<AppState>& app) {
  return std::make_shared<DocumentsImpl>(app);
}

}  // namespace editor

}  // namespace tessaro
