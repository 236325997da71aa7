// Makes the tests' own release key pair inside the build folder, never in
// the source tree: the secret in the form the content server's key file
// has (mode 0600), the public half as the source file the tests' updater
// is built with.
//
//   make_test_release_key SECRET_FILE KEY_SOURCE

#include "updater/release.h"

#include <QFile>

#include <cstdio>

using namespace vantoli::release;

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_test_release_key SECRET_FILE KEY_SOURCE\n");
        return 2;
    }
    const auto pair = generateKeyPair();
    if (!pair)
        return 1;
    QFile secret(QFile::decodeName(argv[1]));
    QFile source(QFile::decodeName(argv[2]));
    if (!secret.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !secret.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !source.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    secret.write("# The tests' release signing key, made by the build; it signs test releases only.\n" +
                 pair->secret.toHex() + "\n");
    source.write("namespace vantoli::release {\nextern const char kTrustedKeyHex[];\nconst char kTrustedKeyHex[] = \"" +
                 pair->publicKey.toHex() + "\";\n}\n");
    return secret.error() == QFile::NoError && source.error() == QFile::NoError ? 0 : 1;
}
