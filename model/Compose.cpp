#include "model/Compose.h"

#include "model/func.h"

namespace tessaro {

std::string TrimCaption(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

std::string SingleResultFileName(int setNumber, const std::string& setCaption, int templateNumber,
                                 const std::string& templateCaption, bool psd) {
  return std::to_string(setNumber) + "_" + TrimCaption(setCaption) + "_" + std::to_string(templateNumber) +
         "_" + TrimCaption(templateCaption) + (psd ? ".psd" : ".jpg");
}

std::string BatchSetFolderName(int setNumber, const std::string& setCaption) {
  return std::to_string(setNumber) + "_" + setCaption;
}

std::string BatchResultFileName(int setNumber, const std::string& setCaption, int templateNumber,
                                const TTempNode& temp, bool psd) {
  return std::to_string(setNumber) + "_" + TrimCaption(setCaption) + "_" + std::to_string(templateNumber) +
         "_" + LastPathPart(temp.Folder) + SizeCaption(temp.SizeUnit, temp.Height) + (psd ? ".psd" : ".jpg");
}

}  // namespace tessaro
