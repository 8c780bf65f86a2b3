#!/usr/bin/perl
# Holds a package to the rules that Windows Installer's validation checks in
# its tables, as read back with msiinfo: every column of every table has its
# row in _Validation, and every value keeps it (null, range, set,
# category, foreign key); no table is empty; every property that the UI
# sequence sets is secure, and no secure property decides a folder or a
# program; no property that binds every later operation of the product is
# set in the package, and one set at run time comes before costing; the
# WizardSetup.exe packed carries the package's version. Prints a line for
# each fault, and one for each package that keeps every rule.
#
#   validate_msi.pl PACKAGE.msi|FOLDER...   a folder: every MSI in it
use strict;
use warnings;
use Cwd qw(abs_path);
use File::Temp qw(tempdir);

die "usage: validate_msi.pl PACKAGE.msi|FOLDER...\n" unless @ARGV;
my @packages = map { abs_path($_) } map { -d $_ ? glob("$_/*.msi") : $_ } @ARGV;
die "validate_msi.pl: no package in @ARGV\n" unless @packages;
# msiinfo export writes a table's streams (Binary) into the current folder.
chdir tempdir(CLEANUP => 1) or die "no scratch folder: $!\n";
my ($msi, $faults);
sub fault { print "$msi: @_\n"; ++$faults }

sub lines_of {
  open(my $in, '-|', @_) or die "$_[0]: $!\n";
  my @lines = map { s/\r?\n\z//r } <$in>;
  close($in) or die "@_ failed\n";
  return @lines;
}

my %tables;
my $short = q{[^\\\\?|><:/*"+,;=\[\] ]};
my $short_name = qr{$short{1,8}(\.$short{1,3})?};
my $long_name = qr{[^\\\\?|><:/*"]+};
my $filename = qr{(?:$short_name|$short_name\|$long_name)};
my %category = (
  Identifier => qr{[A-Za-z_][A-Za-z0-9_.]*},
  CustomSource => qr{[A-Za-z_][A-Za-z0-9_.]*},
  Property => qr{%?[A-Za-z_][A-Za-z0-9_.]*},
  UpperCase => qr{[^a-z]*},
  Guid => qr{\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}},
  Version => qr{\d{1,5}(\.\d{1,5}){0,3}},
  Language => qr{\d{1,5}(,\d{1,5})*},
  Filename => $filename,
  DefaultDir => qr{(?:\.|$filename)(?::(?:\.|$filename))?},
  Cabinet => qr{#[A-Za-z_][A-Za-z0-9_.]*|$short_name},
  RegPath => qr{[^\\].*},
  map { $_ => qr{.*}s } qw(Text Formatted Template Condition Binary));

# The values of column `number` (from 1) of each table in the list `tables`.
sub keys_in {
  my ($tables, $number) = @_;
  my %keys;
  for my $table (grep { $tables{$_} } split /;/, $tables) {
    $keys{$_->[$number - 1]} = 1 for @{$tables{$table}{rows}};
  }
  return \%keys;
}

sub check_value {
  my ($where, $rule, $type, $value, $root_directory) = @_;
  if ($value eq '') {
    fault("$where is null") if $rule->{Nullable} ne 'Y';
    return;
  }
  fault("$where: '$value' is not in the set $rule->{Set}")
    if $rule->{Set} ne '' && !grep { $_ eq $value } split /;/, $rule->{Set};
  if ($type =~ /^[iI]/) {
    fault("$where: '$value' is not within [$rule->{MinValue}, $rule->{MaxValue}]")
      if $value !~ /^-?\d+$/ || ($rule->{MinValue} ne '' && $value < $rule->{MinValue}) ||
         ($rule->{MaxValue} ne '' && $value > $rule->{MaxValue});
    return;
  }
  my $category = $category{$rule->{Category}};
  my $in_category = defined $category && $value =~ /^(?:$category)$/;
  $in_category ||= $root_directory;  # a root names the source folder, as it is
  my $linked = $rule->{KeyTable} ne '' && keys_in($rule->{KeyTable}, $rule->{KeyColumn})->{$value};
  if ($rule->{Category} eq 'Version') {
    fault("$where: '$value' is neither a version nor a key of $rule->{KeyTable}")
      unless $in_category || $linked;
    return;
  }
  fault("$where: '$value' is not of the category $rule->{Category}") unless $in_category;
  fault("$where: '$value' is not a key of $rule->{KeyTable}")
    if $rule->{KeyTable} ne '' && !$linked;
}

# The properties that formatted text names ([NAME]).
sub properties_in { $_[0] =~ /\[([A-Za-z_][A-Za-z0-9_.]*)\]/g }

# The file version in the version resource of the file NAME that the
# package's cabinet holds, if any.
sub packed_version {
  my ($name) = @_;
  my $folder = tempdir(CLEANUP => 1);
  system("msiextract -C '$folder' '$msi' >/dev/null") == 0 or return undef;
  my ($file) = grep { m{/\Q$name\E$} } lines_of('find', $folder, '-type', 'f');
  open(my $in, '<:raw', $file // return undef) or return undef;
  my $bytes = do { local $/; <$in> };
  my $at = index($bytes, pack('V', 0xFEEF04BD));  # VS_FIXEDFILEINFO
  return undef if $at < 0;
  my ($high, $low) = unpack('x8 V V', substr($bytes, $at, 16));
  return join('.', $high >> 16, $high & 0xFFFF, $low >> 16, $low & 0xFFFF);
}

sub validate {
  %tables = ();
  # Each table: its column names, their types (upper case: nullable) and rows.
  for my $name (grep { !/^_(SummaryInformation|ForceCodepage)$/ } lines_of('msiinfo', 'tables', $msi)) {
    my ($names, $types, undef, @rows) = lines_of('msiinfo', 'export', $msi, $name);
    $tables{$name} = {
      columns => [split /\t/, $names], types => [split /\t/, $types],
      rows => [map { [split /\t/, $_, -1] } @rows] };
  }
  return fault('has no _Validation table') unless $tables{_Validation};

  my %rule;
  for my $row (@{$tables{_Validation}{rows}}) {
    my %field;
    @field{@{$tables{_Validation}{columns}}} = @$row;
    $rule{$field{Table}}{$field{Column}} = \%field;
  }

  for my $name (sort keys %tables) {
    my $table = $tables{$name};
    fault("the table $name is empty") unless @{$table->{rows}};
    my @columns = @{$table->{columns}};
    for my $i (0 .. $#columns) {
      my $rule = $rule{$name}{$columns[$i]};
      fault("$name.$columns[$i] has no row in _Validation"), next unless $rule;
      my $nullable = $table->{types}[$i] =~ /^[A-Z]/ ? 'Y' : 'N';
      fault("$name.$columns[$i] is nullable '$nullable' but specified '$rule->{Nullable}'")
        if $rule->{Nullable} ne $nullable;
      # _Validation holds the rules themselves: a key table there may be a
      # list, which Windows Installer does not hold to its own category.
      next if $name eq '_Validation';
      for my $row (@{$table->{rows}}) {
        my $root = $name eq 'Directory' && $columns[$i] eq 'DefaultDir' && $row->[1] eq '';
        check_value("$name.$columns[$i] of $row->[0]", $rule, $table->{types}[$i], $row->[$i], $root);
      }
    }
    for my $column (sort keys %{$rule{$name} // {}}) {
      fault("_Validation specifies $name.$column, which is not there")
        unless grep { $_ eq $column } @columns;
    }
  }
  for my $name (sort grep { !$tables{$_} } keys %rule) {
    fault("_Validation specifies the table $name, which is not there");
  }

  my %property = map { $_->[0] => $_->[1] } @{$tables{Property}{rows}};
  my %secure = map { $_ => 1 } split /;/, $property{SecureCustomProperties} // '';
  my %folder = map { $_->[0] => 1 } @{$tables{Directory}{rows}};
  my %ui = map { $_->[0] => 1 } @{$tables{InstallUISequence}{rows} // []};
  my %execute = map { $_->[0] => $_->[2] } @{$tables{InstallExecuteSequence}{rows}};
  # Each custom action as [name, base type (source and kind), source, target].
  my @actions = map { [$_->[0], $_->[1] & 63, @$_[2, 3]] } @{$tables{CustomAction}{rows} // []};
  fault("$_->[0] is set by AppSearch but not public (ICE52)") for grep { $_->[0] =~ /[a-z]/ } @{$tables{AppSearch}{rows} // []};

  # What the UI sequence sets reaches the execute sequence of an installation
  # elevated for a standard user only when it is secure (the upgrade
  # search's finds, below); a folder the execute sequence resolves itself.
  my @from_ui = (
    ($ui{AppSearch} ? map { $_->[0] } @{$tables{AppSearch}{rows} // []} : ()),
    map { $_->[2] } grep { $ui{$_->[0]} && $_->[1] == 51 } @actions);
  fault("$_ is set in the UI sequence but not secure, so an elevated installation loses it")
    for grep { !$secure{$_} && !$folder{$_} } @from_ui;
  # An upgrade search's finds reach RemoveExistingProducts only so (ICE61).
  fault("$_->[6] is set by an upgrade search but not secure")
    for grep { !$secure{$_->[6]} } @{$tables{Upgrade}{rows} // []};

  # And so a secure property is one that a standard user may set: none may
  # name a folder or a program that an action runs, nor what a property or
  # folder action (51, 35) sets such a one to, at any remove.
  my %decides = %folder;
  for (@actions) {
    $decides{$_->[2]} = 1 if $_->[1] == 50;
    $decides{$_} = 1 for $_->[1] == 34 ? properties_in($_->[3]) : ();
  }
  for (my $grew = 1; $grew;) {
    $grew = 0;
    for my $action (grep { ($_->[1] == 51 || $_->[1] == 35) && $decides{$_->[2]} } @actions) {
      $decides{$_} = $grew = 1 for grep { !$decides{$_} } properties_in($action->[3]);
    }
  }
  fault("$_ is secure, and so open to a standard user, but decides a folder or a program") for grep { $decides{$_} } sort keys %secure;

  # A REINSTALLMODE set at run time counts only for the costing after it.
  for my $action (map { $_->[0] } grep { $_->[1] == 51 && $_->[2] eq 'REINSTALLMODE' } @actions) {
    fault("$action sets REINSTALLMODE after costing, where it changes nothing")
      unless defined $execute{$action} && $execute{$action} < $execute{CostFinalize};
  }

  # WizardSetup.exe carries the package's version, in the File table and in
  # its own version resource, so that an upgrade always brings a higher one.
  my $version = join('.', (split(/\./, $property{ProductVersion}), 0, 0, 0)[0 .. 3]);
  my ($exe) = grep { $_->[2] =~ /(^|\|)WizardSetup\.exe$/ } @{$tables{File}{rows}};
  fault("the File table gives WizardSetup.exe the version '" . ($exe->[4] // '') . "', not $version")
    unless $exe && $exe->[4] eq $version;
  my $packed = packed_version('WizardSetup.exe') // 'none';
  fault("the WizardSetup.exe packed has the version $packed, not $version") unless $packed eq $version;
  # What to reinstall, add or remove, and how, is said on a command line
  # (ICE40, ICE87): in the package it would bind every repair and patch too.
  fault("the Property table sets $_, which belongs on a command line") for grep { exists $property{$_} }
    qw(REINSTALLMODE REINSTALL ADDLOCAL ADDSOURCE ADDDEFAULT REMOVE ADVERTISE COMPADDLOCAL COMPADDSOURCE FILEADDLOCAL FILEADDSOURCE FILEADDDEFAULT);
}

my $failed = 0;
for (@packages) {
  ($msi, $faults) = ($_, 0);
  validate();
  print "$msi keeps Windows Installer's table rules\n" unless $faults;
  $failed ||= $faults;
}
exit($failed ? 1 : 0);
