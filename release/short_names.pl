#!/usr/bin/perl
# Gives every long name in a package's File and Directory tables the 8.3
# short name that Windows Installer's Filename type asks for beside it
# ("TASKWI~1.ICO|TaskWizard.ico"), which wixl leaves out. Names that are 8.3
# already stay as they are. The short names of one folder are handed out in
# the order of their long names, so one package always gets the same ones.
#
#   short_names.pl PACKAGE.msi SCRATCH_DIR
use strict;
use warnings;

my ($msi, $scratch) = @ARGV;
die "usage: short_names.pl PACKAGE.msi SCRATCH_DIR\n" unless $scratch;

# What a short name may hold, apart from its one dot.
my $short_chars = q{A-Za-z0-9!#$%&'()\-@^_`{}~};
sub is_short { $_[0] =~ /^[$short_chars]{1,8}(\.[$short_chars]{1,3})?$/ }

# A table as msiinfo exports it: three header lines, then a row a line.
sub export_table {
  my ($table) = @_;
  open(my $in, '-|', 'msiinfo', 'export', $msi, $table) or die "msiinfo: $!\n";
  my @lines = map { s/\r?\n\z//r } <$in>;
  close($in) or die "msiinfo export $table failed\n";
  return (\@lines, [map { [split /\t/, $_, -1] } @lines[3 .. $#lines]]);
}

sub import_table {
  my ($table, $lines, $rows) = @_;
  my $idt = "$scratch/$table.idt";
  open(my $out, '>', $idt) or die "$idt: $!\n";
  print $out map { "$_\r\n" } @$lines[0 .. 2], map { join("\t", @$_) } @$rows;
  close($out) or die "$idt: $!\n";
  system('msibuild', $msi, '-i', $idt) == 0 or die "msibuild -i $idt failed\n";
}

sub short_name {
  my ($long, $taken) = @_;
  my ($base, $extension) = $long =~ /^(.*)\.([^.]*)$/ ? ($1, $2) : ($long, '');
  ($base = uc $base) =~ s/[^$short_chars]//g;
  ($extension = uc $extension) =~ s/[^$short_chars]//g;
  $base = '_' if $base eq '';
  $extension = $extension eq '' ? '' : '.' . substr($extension, 0, 3);
  for (my $n = 1;; ++$n) {
    my $short = substr($base, 0, 8 - length("~$n")) . "~$n$extension";
    return $short unless $taken->{$short}++;
  }
}

my (undef, $components) = export_table('Component');
my %folder_of = map { $_->[0] => $_->[2] } @$components;
my ($file_lines, $files) = export_table('File');
my ($directory_lines, $directories) = export_table('Directory');

# Each name with the folder it is in: a file's component's, a folder's
# parent. The root and "." name no folder of their own.
my @names = (
  (map { [$folder_of{$_->[1]}, $_] } @$files),
  (map { [$_->[1], $_] } grep { $_->[1] ne '' && $_->[2] ne '.' } @$directories));
my %taken;
$taken{$_->[0]}{uc $_->[1][2]} = 1 for grep { is_short($_->[1][2]) } @names;
for my $name (sort { $a->[0] cmp $b->[0] || $a->[1][2] cmp $b->[1][2] }
              grep { !is_short($_->[1][2]) } @names) {
  my $row = $name->[1];
  $row->[2] = short_name($row->[2], $taken{$name->[0]} //= {}) . "|$row->[2]";
}

import_table('File', $file_lines, $files);
import_table('Directory', $directory_lines, $directories);
