#!/usr/bin/env bash
# Makes the certificates the TLS tests use, in the folder given (created if
# missing): a test authority and, signed by it, a certificate for localhost
# and 127.0.0.1, one for another host name and one that has expired; and a
# second authority that no test trusts, with a certificate for localhost.
# Each certificate NAME comes as NAME.pem with its key NAME.key. Takes
# about a second; needs only the openssl program.
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
# Fixed subject names, so failures name them; fresh keys every run.
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null; }
authority() { # name, common name
  key "$1"
  openssl req -new -x509 -key "$1.key" -out "$1.pem" -days 30 -subj "/CN=$2" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
  mkdir -p "$1.db/new"
  : >"$1.db/index"
  cat >"$1.db/conf" <<CONF
[ca]
default_ca = test_ca
[test_ca]
dir = $dir/$1.db
database = \$dir/index
new_certs_dir = \$dir/new
certificate = $dir/$1.pem
private_key = $dir/$1.key
default_md = sha256
policy = any
unique_subject = no
rand_serial = yes
copy_extensions = none
[any]
commonName = supplied
CONF
}
leaf() { # authority, name, subject alternative names, start, end (YYMMDDHHMMSSZ)
  key "$2"
  openssl req -new -key "$2.key" -out "$2.csr" -subj "/CN=$2" 2>/dev/null
  printf 'subjectAltName=%s\nbasicConstraints=CA:false\nextendedKeyUsage=serverAuth\n' "$3" >"$2.ext"
  openssl ca -batch -config "$1.db/conf" -in "$2.csr" -out "$2.pem" -notext \
    -startdate "$4" -enddate "$5" -extfile "$2.ext" 2>/dev/null
  rm -f "$2.csr" "$2.ext"
}
now=$(date -u -d '-1 day' +%y%m%d%H%M%SZ)
later=$(date -u -d '+30 days' +%y%m%d%H%M%SZ)
authority ca "Vantoli Test Authority"
leaf ca server "DNS:localhost,IP:127.0.0.1" "$now" "$later"
leaf ca wronghost "DNS:wrong-host.invalid" "$now" "$later"
leaf ca expired "DNS:localhost,IP:127.0.0.1" 200101000000Z 200201000000Z
authority stranger-ca "Untrusted Test Authority"
leaf stranger-ca stranger "DNS:localhost,IP:127.0.0.1" "$now" "$later"
rm -rf ca.db stranger-ca.db
