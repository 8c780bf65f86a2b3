#!/usr/bin/perl
# Makes a Windows icon file from a text picture: one character a pixel, as
# drawn in the source, and a palette of RRGGBB colours. The icon holds the
# picture at 16x16 and, each pixel doubled, at 32x32, in 32-bit colour.
#
#   make_icon.pl SOURCE.txt OUT.ico
use strict;
use warnings;

my ($source, $out) = @ARGV;
die "usage: make_icon.pl SOURCE.txt OUT.ico\n" unless defined $out;

open(my $in, '<', $source) or die "$source: $!\n";
my (%palette, @rows);
while (my $line = <$in>) {
  chomp $line;
  next if $line =~ /^\s*(#|$)/;
  if ($line =~ /^palette (\S) (transparent|[0-9A-Fa-f]{6})$/) {
    $palette{$1} = $2;
  } else {
    push @rows, $line;
  }
}
close $in;
die "$source: the picture must be 16 rows of 16\n"
  unless @rows == 16 && !grep { length != 16 } @rows;

# One image: a BITMAPINFOHEADER of twice the height (colour, then mask),
# BGRA pixels from the bottom row up, and the transparency mask.
sub image {
  my ($scale) = @_;
  my $size = 16 * $scale;
  my ($pixels, $mask) = ('', '');
  for my $y (reverse 0 .. $size - 1) {
    my $bits = '';
    for my $x (0 .. $size - 1) {
      my $char = substr($rows[int($y / $scale)], int($x / $scale), 1);
      my $colour = $palette{$char} // die "no colour for '$char'\n";
      if ($colour eq 'transparent') {
        $pixels .= pack('C4', 0, 0, 0, 0);
        $bits .= '1';
      } else {
        my ($r, $g, $b) = map { hex } $colour =~ /(..)(..)(..)/;
        $pixels .= pack('C4', $b, $g, $r, 255);
        $bits .= '0';
      }
    }
    $bits .= '0' x ((32 - length($bits) % 32) % 32);
    $mask .= pack('B*', $bits);
  }
  return pack('V l< l< v v V V l< l< V V', 40, $size, 2 * $size, 1, 32, 0,
              length($pixels) + length($mask), 0, 0, 0, 0) . $pixels . $mask;
}

my @images = (image(1), image(2));
my $offset = 6 + 16 * @images;
my $icon = pack('v v v', 0, 1, scalar @images);
for my $i (0 .. $#images) {
  my $size = 16 << $i;
  $icon .= pack('C C C C v v V V', $size, $size, 0, 0, 1, 32,
                length($images[$i]), $offset);
  $offset += length $images[$i];
}
open(my $file, '>:raw', $out) or die "$out: $!\n";
print $file $icon, @images;
close $file or die "$out: $!\n";
