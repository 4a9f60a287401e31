#include "packaging/write_package.h"

#include "objects/object.h"
#include "packaging/output_file.h"
#include "packaging/package.h"

std::string PackageName(const std::string& outputPath) {
  std::string path = outputPath;
  if (path.size() >= 2 && path[1] == ':') path.erase(0, 2);
  size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos) path.erase(0, slash + 1);
  size_t dot = path.find_last_of('.');
  if (dot != std::string::npos) path.erase(dot);
  if (path.size() > 255) path.resize(255);
  return path;
}

int Package::WritePackage(const std::string& outputPath) {
  std::string name = PackageName(outputPath);
  GetPart(0)->GetRoot()->Dump(0);
  AllocateHeader();
  for (int32_t i = 0; i < nParts; ++i) GetPart(i)->AllocateEntry();
  dataStart = packageDataSize;
  WriteInfoStrings(name);
  for (int32_t i = 0; i < nParts; ++i) GetPart(i)->WritePartInfo();
  directorySize = packageDataSize;
  // Every object is placed before any is written, so a pointer may name an
  // object that lies later in the file.
  for (int32_t i = 0; i < nParts; ++i) GetPart(i)->Layout();
  for (int32_t i = 0; i < nParts; ++i) GetPart(i)->Write();
  for (int32_t i = 0; i < nParts; ++i) GetPart(i)->WriteEntry(GetPart(0)->GetPartStart());
  WriteHeader();
  packageData.Cover(packageDataSize);
  WriteOutputFile(outputPath, packageData.Pieces(packageDataSize));
  return 0;
}

void Part::Layout() {
  Package& package = CurrentPackage();
  partStart = package.GetPackageDataSize();
  root->Layout();
  package.Allocate(4, 0);
  partEnd = package.GetPackageDataSize();
}

void Part::Write() const { root->Write(); }
